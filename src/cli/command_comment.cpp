// comment add|delete|delete-all|list PATH...: the "Comments" tab on the files named.
#include <cstdio>
#include <memory>

#include "cli/cli_text.h"
#include "cli/listing_output.h"
#include "cli/command_line.h"
#include "cli/edit_run.h"
#include "cli/file_set.h"
#include "operations/comment_edit.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

struct CommentArguments {
    std::string language;
    std::string description;
    std::string text;
    bool json = false;
    std::vector<std::string> paths;
};

CLI::Option* AddLanguageOption(CLI::App& command, std::string& language, const std::string& help) {
    return command.add_option("--language", language, help)
        ->type_name("NAME|CODE")
        ->check([](const std::string& value) {
            return FindLanguageCode(value) ? std::string() : "unknown language '" + value + "'";
        });
}

int RunList(CommandContext& context, const CommentArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    ListingOutput listing(arguments.json, "Short Description\tLanguage\tCode\tText\n");
    for (const ListedComment& comment : SharedComments(files.Records())) {
        std::string& out = listing.NextRow();
        if (arguments.json) {
            out += "  {\"description\": " + JsonString(comment.description) +
                   ", \"language\": " + JsonLatin1(comment.language) + ", \"languageName\": " +
                   JsonString(comment.languageName) + ", \"text\": " + JsonString(comment.text) + "}";
        } else {
            out += TsvCell(U8(comment.description)) + "\t" + TsvCell(U8(comment.languageName)) + "\t" +
                   TsvCell(comment.language) + "\t" + TsvCell(U8(comment.text)) + "\n";
        }
    }
    listing.Finish();
    return files.ExitStatus();
}

}  // namespace

void RegisterCommentCommand(CommandLine& cli) {
    CLI::App& comment = cli.AddCommand("comment", "Adds, deletes and lists the comments (COMM) of the files", nullptr);

    auto adding = std::make_shared<CommentArguments>();
    adding->language = "eng";
    CLI::App& add = cli.AddCommand(
        "add", "Sets the comment with the short description in every file (added where there is none)",
        [adding](CommandContext& context) {
            const CommentEdit comment{U16(adding->description), *FindLanguageCode(adding->language), U16(adding->text)};
            return RunEdit(context, adding->paths, [&comment](const EditContext& edit, const std::vector<RecordPtr>& records) {
                SaveComment(edit, records, comment);
            });
        },
        &comment);
    AddLanguageOption(add, adding->language, "The comment's language, by name (English) or code (eng); default English");
    add.add_option("--description", adding->description, "The short description; default empty");
    add.add_option("--text", adding->text, "The comment's text")->required();
    cli.AddPathArguments(add, adding->paths);

    auto deleting = std::make_shared<CommentArguments>();
    CLI::App& remove = cli.AddCommand(
        "delete", "Deletes the comment with the short description (and language) from every file",
        [deleting](CommandContext& context) {
            // A language named gives each of its codes: "German" is both ger and deu.
            const std::vector<std::string> languages = FindLanguageCodes(deleting->language);
            return RunEdit(context, deleting->paths, [&](const EditContext& edit, const std::vector<RecordPtr>& records) {
                DeleteCommentByDescription(edit, records, U16(deleting->description), languages);
            });
        },
        &comment);
    remove.add_option("--description", deleting->description, "The short description, exactly")->required();
    AddLanguageOption(remove, deleting->language,
                      "Only the comment in this language, for files with several of that description");
    cli.AddPathArguments(remove, deleting->paths);

    auto deletingAll = std::make_shared<CommentArguments>();
    CLI::App& removeAll = cli.AddCommand(
        "delete-all", "Deletes every comment of every file, shared or not",
        [deletingAll](CommandContext& context) {
            return RunEdit(context, deletingAll->paths, [](const EditContext& edit, const std::vector<RecordPtr>& records) {
                DeleteAllComments(edit, records);
            });
        },
        &comment);
    cli.AddPathArguments(removeAll, deletingAll->paths);

    auto listing = std::make_shared<CommentArguments>();
    CLI::App& list = cli.AddCommand(
        "list", "The comments all the files share (TSV with a header line, or JSON)",
        [listing](CommandContext& context) { return RunList(context, *listing); }, &comment);
    list.add_flag("--json", listing->json, "An array of objects");
    cli.AddPathArguments(list, listing->paths);
}

}  // namespace quorvane::cli
