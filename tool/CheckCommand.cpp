#include "tool/CheckCommand.h"

#include <cstdio>
#include <vector>

#include <pugixml.hpp>

#include "converter/ConversionObserver.h"
#include "encoding/EncodingDetection.h"
#include "engine/Engine.h"
#include "tool/CheckFindings.h"
#include "tool/CheckReport.h"
#include "tool/NameSuggestion.h"
#include "tool/ResultMeaning.h"
#include "tool/TextPositions.h"

namespace {

const char* KindName(ConversionLoss loss) {
    switch (loss) {
        case ConversionLoss::UnknownElement: return "unknown-element";
        case ConversionLoss::TextDropped: return "text-dropped";
        case ConversionLoss::IgnoredAttribute: return "attribute-not-written";
        case ConversionLoss::UnknownMode: return "unknown-mode";
        case ConversionLoss::NoParent: return "nowhere-to-write";
        case ConversionLoss::ParentNotOpen: return "parent-not-written";
        case ConversionLoss::SwallowedByTransfer: return "after-file-transfer";
        case ConversionLoss::TransferValueReplaced: return "transfer-value-replaced";
        case ConversionLoss::SwallowedByHeader: return "after-header-block";
        case ConversionLoss::NumberNotWritten: return "number-not-written";
        case ConversionLoss::ErrorNotListed: return "error-not-listed";
        case ConversionLoss::TextReplaced: return "text-replaced";
    }
    return "unknown";
}

FindingRank RankOf(ConversionLoss loss) {
    switch (loss) {
        case ConversionLoss::NumberNotWritten:
        case ConversionLoss::ErrorNotListed:
        case ConversionLoss::TextReplaced:
            return FindingRank::FormatLimit;
        default:
            return FindingRank::InputProblem;
    }
}

std::string Message(ConversionLoss loss, const std::string& element, const std::string& subject,
                    const std::string& suggestion) {
    switch (loss) {
        case ConversionLoss::UnknownElement:
            return suggestion.empty() ? subject + ": unknown, not written"
                                      : subject + ": unknown; did you mean " + suggestion + "?";
        case ConversionLoss::TextDropped:
            return "text in " + subject + " after its first child is not written";
        case ConversionLoss::IgnoredAttribute:
            return element + ": attribute " + subject + " is not written";
        case ConversionLoss::UnknownMode:
            return element + ": mode " + subject + " is not in the table; written as an empty mode";
        case ConversionLoss::NoParent:
            return subject + ": nothing open to write it into; not written";
        case ConversionLoss::ParentNotOpen:
            return "parent " + subject + " was not written; its field goes elsewhere or is lost";
        case ConversionLoss::SwallowedByTransfer:
            return subject + ": after a file-transfer record; not written";
        case ConversionLoss::TransferValueReplaced:
            return subject + ": replaces the value of the pending file transfer";
        case ConversionLoss::SwallowedByHeader:
            return subject + ": after a header block; not written";
        case ConversionLoss::NumberNotWritten:
            return subject + ": not written under this record";
        case ConversionLoss::ErrorNotListed:
            return "error number " + subject + ": beyond the 32 the status file lists";
        case ConversionLoss::TextReplaced:
            return subject + ": text replaced by the time of the conversion";
    }
    return subject;
}

class FindingCollector : public ConversionObserver {
public:
    FindingCollector(CheckFindings& findings, std::vector<std::string> names)
        : m_findings(findings), m_names(std::move(names)) {}

    void Report(const pugi::xml_node& node, ConversionLoss loss,
                const std::string& subject) override {
        std::ptrdiff_t offset = node.offset_debug();
        // Elements are placed at their "<", not at their name.
        if (node.type() == pugi::node_element && offset > 0) --offset;
        // The element's name is part of the message, and so of the group,
        // only where the message names it.
        const bool byElement = loss == ConversionLoss::IgnoredAttribute || loss == ConversionLoss::UnknownMode;
        const std::string element = byElement ? node.name() : "";
        m_findings.Add(offset, std::string(KindName(loss)) + '\x1f' + element + '\x1f' + subject, [&] {
            const std::string suggestion =
                loss == ConversionLoss::UnknownElement ? ClosestName(subject, m_names) : "";
            return FindingGroup{RankOf(loss), KindName(loss), subject, Message(loss, node.name(), subject, suggestion)};
        });
    }

private:
    CheckFindings& m_findings;
    std::vector<std::string> m_names;
};

// The conversion reads no CDATA section; a second parse finds them.
void FindCdataSections(const std::string& path, CheckFindings& findings) {
    pugi::xml_document document;
    document.load_file(path.c_str(), pugi::parse_ws_pcdata_single | pugi::parse_cdata,
                       pugi::encoding_auto);
    struct Walker : pugi::xml_tree_walker {
        CheckFindings* findings;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_cdata) {
                const std::string parent = node.parent().name();
                findings->Add(node.offset_debug() - 9, "cdata-dropped\x1f" + parent, [&] {
                    return FindingGroup{FindingRank::InputProblem, "cdata-dropped", parent,
                                        "CDATA section in " + parent + " is not read"};
                });
            }
            return true;
        }
    } walker;
    walker.findings = &findings;
    document.traverse(walker);
}

// What reading the input alters before any walk: characters beyond the Basic
// Multilingual Plane in UTF-8, which the rewrite into UTF-16 that a
// conversion to customer XML reads turns into other characters, and
// surrogates without a partner in UTF-16, which the parser drops.
void FindAlteredCharacters(const TextPositions& text, bool utf8, bool toCustomer, CheckFindings& findings) {
    for (const std::size_t offset : text.DroppedSurrogates()) {
        findings.Add(static_cast<std::ptrdiff_t>(offset), "surrogate-dropped", [] {
            return FindingGroup{FindingRank::InputProblem, "surrogate-dropped", "",
                                "UTF-16 surrogate without its partner: dropped"};
        });
    }
    if (!utf8 || !toCustomer) return;
    const std::string& bytes = text.Text();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) < 0xF0) continue;
        findings.Add(static_cast<std::ptrdiff_t>(i), "character-altered", [] {
            return FindingGroup{FindingRank::InputProblem, "character-altered", "",
                                "character beyond the Basic Multilingual Plane: the rewrite into UTF-16 "
                                "turns it into other characters"};
        });
    }
}

}  // namespace

int RunCheck(const std::string& inputPath, const CheckOptions& options) {
    const EncodingDetection detection = DetectEncoding(inputPath.c_str());
    const int detected = detection.result;
    if (detected != kSuccess) {
        std::fprintf(stderr, "zk8conv: %s: %s (%d); %s\n", options.shownName.c_str(), ResultMeaning(detected),
                     detected, InputRemedy(detected, inputPath).c_str());
        return 2;
    }

    CheckFindings findings;
    bool toDevice = true;
    {
        // The document lives only for the walk: the later steps read the
        // file again, and a large file is never held twice.
        pugi::xml_document input;
        const pugi::xml_parse_result parsed =
            input.load_file(inputPath.c_str(), pugi::parse_ws_pcdata_single, pugi::encoding_auto);
        auto hasTopLevel = [&](const char* name) { return static_cast<bool>(input.child(name)); };
        CheckDirection direction = options.direction;
        if (direction == CheckDirection::Auto) {
            direction = hasTopLevel("dat") && !hasTopLevel("scaledata") ? CheckDirection::ToCustomer
                                                                         : CheckDirection::ToDevice;
        }
        toDevice = direction == CheckDirection::ToDevice;

        const char* expectedRoot = toDevice ? "scaledata" : "dat";
        if (!hasTopLevel(expectedRoot)) {
            const pugi::xml_node root = input.document_element();
            findings.Add(root.offset_debug() - 1, "wrong-root", [&] {
                return FindingGroup{FindingRank::WholeFile, "wrong-root", root.name(),
                                    std::string("no ") + expectedRoot + " element: nothing is written"};
            });
        }

        const engine::Direction walk = toDevice ? engine::Direction::ToDevice : engine::Direction::ToCustomer;
        FindingCollector collector(findings, engine::InputNames(walk));
        // The walk the conversion makes, into an output that writes nothing.
        engine::Inspect(walk, input, collector);
        if (!parsed) {
            findings.Add(parsed.offset, "parse-error", [&] {
                return FindingGroup{FindingRank::WholeFile, "parse-error", "",
                                    std::string("XML parse error: ") + parsed.description() +
                                        "; nothing after it is converted"};
            });
        }
    }
    FindCdataSections(inputPath, findings);
    TextPositions positions(inputPath);
    FindAlteredCharacters(positions, detection.encoding == TextEncoding::Utf8, !toDevice, findings);
    findings.Sort();

    const CheckReportHeading heading{options.shownName, toDevice ? "to-device" : "to-customer"};
    if (options.json) {
        PrintCheckJson(heading, findings, positions);
    } else {
        PrintCheckText(heading, findings, positions, options.every);
    }
    return findings.Empty() ? 0 : 1;
}
