#pragma once
// The XML listing: the root "MP3List" with a "Generator" element naming the program,
// then the target files nested by up to four levels (artist, album, year, directory)
// into groups that appear in the order their key first occurs.
#include <span>

#include "export/exporter.h"
#include "export/xml_export_options.h"
#include "export/xml_writer.h"

namespace quorvane {

// The tree of the listing.
XmlElement BuildXmlListing(std::span<const RecordPtr> targets, const XmlExportOptions& options);

// The "File" element of one record, its attributes in the listing's order.
XmlElement XmlFileElement(const Mp3FileRecord& record, const XmlExportOptions& options);

class XmlExporter final : public Exporter {
public:
    explicit XmlExporter(XmlExportOptions options) : options_(options) {}
    std::vector<FileFilter> Filters() const override;
    std::u16string DefaultExtension() const override { return u"xml"; }
    // The declaration line and the listing, in UTF-8.
    std::string Document(std::span<const RecordPtr> targets) const override;

private:
    XmlExportOptions options_;
};

}  // namespace quorvane
