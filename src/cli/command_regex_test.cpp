// quorvane-cli regex-test: try a regular expression on names before using it to
// fill tags.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/command_line.h"
#include "platform/text_codec.h"
#include "regex/regexp.h"

namespace quorvane::cli {

namespace {

struct GroupResult {
    unsigned number;
    std::u16string name;
    std::u16string text;
};

struct SubjectResult {
    std::string subject;
    bool matched = false;
    bool gaveUp = false;
    size_t start = 0;
    size_t end = 0;
    std::vector<GroupResult> groups;
};

SubjectResult Try(RegExp& re, const std::string& subjectArg) {
    SubjectResult r;
    r.subject = subjectArg;
    // Subjects are names: decode them as file names so every byte survives.
    const std::u16string subject = PathFromNative(subjectArg);
    const char16_t* pos = subject.c_str();
    r.matched = re.Search(pos);
    r.gaveUp = re.LastSearchGaveUp();
    if (!r.matched) return r;
    if (const auto span = re.GroupSpan(0)) {
        r.start = span->first;
        r.end = span->second;
    }
    for (unsigned n = 1; n <= re.GroupCount(); ++n) r.groups.push_back({n, re.GroupName(n), re.GroupTextByNumber(n)});
    return r;
}

void PrintText(const SubjectResult& r) {
    std::printf("%s\n", r.subject.c_str());
    if (!r.matched) {
        std::printf("  no match\n");
        return;
    }
    std::printf("  match %zu-%zu\n", r.start, r.end);
    for (const GroupResult& g : r.groups) {
        if (g.name.empty()) {
            std::printf("  group %u: %s\n", g.number, U8(g.text).c_str());
        } else {
            std::printf("  group %u <%s>: %s\n", g.number, U8(g.name).c_str(), U8(g.text).c_str());
        }
    }
}

void PrintJson(const std::vector<SubjectResult>& results) {
    std::printf("[");
    for (size_t i = 0; i < results.size(); ++i) {
        const SubjectResult& r = results[i];
        std::printf("%s\n  {\"subject\": %s, \"matched\": %s, ", i ? "," : "",
                    JsonString(PathFromNative(r.subject)).c_str(), r.matched ? "true" : "false");
        if (r.matched) {
            std::printf("\"start\": %zu, \"end\": %zu, \"groups\": [", r.start, r.end);
        } else {
            std::printf("\"start\": null, \"end\": null, \"groups\": [");
        }
        for (size_t k = 0; k < r.groups.size(); ++k) {
            const GroupResult& g = r.groups[k];
            std::printf("%s{\"number\": %u, \"name\": %s, \"text\": %s}", k ? ", " : "", g.number,
                        g.name.empty() ? "null" : JsonString(g.name).c_str(), JsonString(g.text).c_str());
        }
        std::printf("]}");
    }
    std::printf("%s]\n", results.empty() ? "" : "\n");
}

struct RegexTestArguments {
    bool json = false;
    std::string pattern;
    std::vector<std::string> subjects;
};

int RunRegexTest(const RegexTestArguments& arguments) {
    RegExp re;
    try {
        re.Compile(Utf8ToUtf16Lossy(arguments.pattern));
    } catch (const RegExpException& e) {
        std::fprintf(stderr, "The regular expression you entered could not be parsed.\n%s\n", e.what());
        return kExitFileError;
    }
    std::vector<SubjectResult> results;
    for (const std::string& s : arguments.subjects) {
        results.push_back(Try(re, s));
        if (results.back().gaveUp) {
            std::fprintf(stderr, "quorvane-cli regex-test: gave up on '%s': the expression takes too many steps\n",
                         s.c_str());
        }
    }
    if (arguments.json) {
        PrintJson(results);
    } else {
        for (const SubjectResult& r : results) PrintText(r);
    }
    return kExitOk;
}

}  // namespace

void RegisterRegexTestCommand(CommandLine& cli) {
    auto arguments = std::make_shared<RegexTestArguments>();
    CLI::App& command = cli.AddCommand("regex-test", "Tries a regular expression on names: match span and groups",
                                       [arguments](CommandContext&) { return RunRegexTest(*arguments); });
    command.add_option("--regex", arguments->pattern, "The expression, as tag generation takes it")->required();
    command.add_flag("--json", arguments->json, "An array of {subject, matched, start, end, groups}");
    cli.AddWords(command, "SUBJECT", arguments->subjects, "Names to try it on");
}

}  // namespace quorvane::cli
