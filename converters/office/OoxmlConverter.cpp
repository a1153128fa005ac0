// Office Open XML: the main part found through the package's relationships,
// the other parts through the main part's, each walked for its text.
#include "converters/office/OoxmlConverter.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdlib>
#include <cwchar>

#include "base/ThreadScratch.h"
#include "base/SearchRecords.h"

namespace {

constexpr int kMaxStyleChain = 32;

bool EndsWithIgnoringCase(const wchar_t* path, const wchar_t* suffix) {
    const size_t n = wcslen(path);
    const size_t m = wcslen(suffix);
    return n > m && _wcsicmp(path + n - m, suffix) == 0;
}

// An on/off property: on when present without a value or with any value but
// "0", "false" and "off".
int OnOff(const XmlNode* property) {
    if (!property)
        return -1;
    const auto value = AttributeOf(property, "val");
    return value && (SameName(*value, "0") || SameName(*value, "false") || SameName(*value, "off"))
               ? 0
               : 1;
}

bool IsOn(std::optional<std::string_view> value) {
    return value && (SameName(*value, "1") || SameName(*value, "true") || SameName(*value, "on"));
}

// The elements whose content is never text: formatting properties (every
// name ending in "Pr"), field instructions, deleted text and the old place
// of moved text, the second copy of alternate content, phonetic guides.
bool IsSkipped(std::string_view local) {
    if (local.size() > 2 && SameName(local.substr(local.size() - 2), "Pr"))
        return true;
    return SameName(local, "instrText") || SameName(local, "delText") ||
           SameName(local, "delInstrText") || SameName(local, "Fallback") ||
           SameName(local, "fldData") || SameName(local, "rPh") || SameName(local, "sym") ||
           SameName(local, "moveFrom");
}

void AppendData(const XmlNode* node, std::string* to) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_data || child->type() == rapidxml::node_cdata) {
            std::string_view value(child->value(), child->value_size());
            if (!value.empty() && IsWhitespaceMarker(value[0])) {
                to->push_back(UnmarkWhitespace(value[0]));
                value.remove_prefix(1);
            }
            to->append(value);
        }
    }
}

}  // namespace

OoxmlConverter::OoxmlConverter() {
    wcsncpy(typeName, L"Office Open XML documents", kConverterChars - 1);
    wcsncpy(fileSpec, L"*.docx;*.docm;*.dotx;*.dotm;*.xlsx;*.xlsm;*.xltx;*.xltm;*.pptx;*.pptm;*.potx;*.potm;*.ppsx;*.ppsm",
            kConverterChars - 1);
}

OoxmlConverter::Kind OoxmlConverter::KindOf(const wchar_t* path) {
    for (const wchar_t* e : {L".docx", L".docm", L".dotx", L".dotm"}) {
        if (EndsWithIgnoringCase(path, e))
            return Kind::kWord;
    }
    for (const wchar_t* e : {L".xlsx", L".xlsm", L".xltx", L".xltm"}) {
        if (EndsWithIgnoringCase(path, e))
            return Kind::kExcel;
    }
    for (const wchar_t* e : {L".pptx", L".pptm", L".potx", L".potm", L".ppsx", L".ppsm"}) {
        if (EndsWithIgnoringCase(path, e))
            return Kind::kPowerPoint;
    }
    return Kind::kNone;
}

int OoxmlConverter::Accepts(const wchar_t* path) { return KindOf(path) != Kind::kNone; }

std::unique_ptr<DocConverter> OoxmlConverter::Clone() const {
    auto copy = std::make_unique<OoxmlConverter>();
    copy->CopyStringsFrom(*this);
    return copy;
}

HGLOBAL OoxmlConverter::Convert(const wchar_t* path, const SearchRequest& request) {
    ignoreHidden = request.includeHidden == 0;
    tag = Utf8Of(request.ignoreTags);
    OfficePackage package;
    if (!package.Open(path))
        return Fail(package.OpenFailure());
    OfficeText text;
    bool read = false;
    switch (KindOf(path)) {
    case Kind::kWord:
        read = ConvertWord(package, text);
        SetReadAs(L"Word document");
        break;
    case Kind::kExcel:
        read = ConvertExcel(package, text);
        SetReadAs(L"Excel workbook");
        break;
    case Kind::kPowerPoint:
        read = ConvertPowerPoint(package, text);
        SetReadAs(L"PowerPoint presentation");
        break;
    case Kind::kNone: break;
    }
    if (!read)
        return Fail(L"a damaged office document");
    return text.TakeBlock();
}

bool OoxmlConverter::WalkPart(OfficePackage& package, const std::string& name, OfficeText& text) {
    bool failed = false;
    const std::unique_ptr<XmlPart> part = package.ReadPart(name, &failed);
    if (part)
        Walk(part->Root(), text);
    return !failed && !text.TooLarge();
}

// ---- Word

void OoxmlConverter::ReadStyles(const XmlNode* root) {
    styles.clear();
    for (const XmlNode* s = root->first_node(); s; s = s->next_sibling()) {
        if (s->type() != rapidxml::node_element || !LocalNameIs(s, "style"))
            continue;
        const auto id = AttributeOf(s, "styleId");
        if (!id)
            continue;
        WordStyle style;
        if (const XmlNode* name = ChildOf(s, "name"))
            style.name = AttributeOf(name, "val").value_or("");
        if (const XmlNode* basedOn = ChildOf(s, "basedOn"))
            style.basedOn = AttributeOf(basedOn, "val").value_or("");
        if (const XmlNode* rPr = ChildOf(s, "rPr"))
            style.vanish = OnOff(ChildOf(rPr, "vanish"));
        styles.emplace(std::string(*id), std::move(style));
    }
}

int OoxmlConverter::StyleVanish(std::string_view id) const {
    // Along the chain of base styles; a circle ends at the bound.
    for (int depth = 0; depth < kMaxStyleChain && !id.empty(); ++depth) {
        const auto found = styles.find(std::string(id));
        if (found == styles.end())
            return -1;
        if (found->second.vanish != -1)
            return found->second.vanish;
        id = found->second.basedOn;
    }
    return -1;
}

bool OoxmlConverter::StyleTagged(std::string_view id) const {
    if (tag.empty() || id.empty())
        return false;
    const auto found = styles.find(std::string(id));
    return found != styles.end() && found->second.name == tag;
}

bool OoxmlConverter::ConvertWord(OfficePackage& package, OfficeText& text) {
    bool failed = false;
    const std::string main = package.MainPart("word/document.xml", &failed);
    const std::vector<Relationship> related = package.RelationshipsOf(main, &failed);
    if (failed)
        return false;
    styles.clear();
    for (const Relationship& r : related) {
        if (RelationshipIs(r, "styles")) {
            const std::unique_ptr<XmlPart> part = package.ReadPart(r.target, &failed);
            if (failed)
                return false;
            if (part)
                ReadStyles(part->Root());
        }
    }
    // Without its main document a package is no Word document.
    const std::unique_ptr<XmlPart> document = package.ReadPart(main, &failed);
    if (!document)
        return false;
    Walk(document->Root(), text);
    // Then headers, footers, footnotes, endnotes and comments, each kind in
    // the order the relationships name them.
    for (const char* kind : {"header", "footer", "footnotes", "endnotes", "comments"}) {
        for (const Relationship& r : related) {
            if (RelationshipIs(r, kind) && !WalkPart(package, r.target, text))
                return false;
        }
    }
    return true;
}

void OoxmlConverter::Emit(std::string_view piece, OfficeText& text) {
    // Tagged text gives one space for the whole stretch.
    if (runTagged || paragraphTagged) {
        if (!taggedSpaceWritten)
            text.Append(' ');
        taggedSpaceWritten = true;
        return;
    }
    taggedSpaceWritten = false;
    text.Append(piece);
}

void OoxmlConverter::Walk(const XmlNode* node, OfficeText& text) {
    for (const XmlNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (child->type() != rapidxml::node_element)
            continue;
        const std::string_view local = LocalName(child);
        if (IsSkipped(local))
            continue;
        if (SameName(local, "p")) {
            Paragraph(child, text);
        } else if (SameName(local, "footnote") || SameName(local, "endnote")) {
            // The separator lines between the page and its notes are no notes.
            const auto type = AttributeOf(child, "type");
            if (!type || SameName(*type, "normal"))
                Walk(child, text);
        } else if (SameName(local, "r")) {
            Run(child, text);
        } else if (SameName(local, "t")) {
            const XmlNode* only = child->first_node();
            if (only && !only->next_sibling() &&
                (only->type() == rapidxml::node_data || only->type() == rapidxml::node_cdata)) {
                // The usual run of text: one node, taken as it stands (Append
                // turns a marker back into its white space).
                if (only->value_size())
                    Emit(std::string_view(only->value(), only->value_size()), text);
                continue;
            }
            thread_local std::string* pieceSlot = nullptr;
            std::string& piece = ThreadScratch(pieceSlot);
            piece.clear();
            AppendData(child, &piece);
            if (!piece.empty())
                Emit(piece, text);
        } else if (SameName(local, "tab")) {
            Emit("\t", text);
        } else if (SameName(local, "br") || SameName(local, "cr")) {
            Emit("\r\n", text);
        } else if (SameName(local, "noBreakHyphen")) {
            Emit("-", text);
        } else {
            Walk(child, text);
        }
    }
}

void OoxmlConverter::Paragraph(const XmlNode* p, OfficeText& text) {
    // A paragraph inside a paragraph (a text box in a run) follows the one
    // that holds it, so that neither's text is split by the other.
    if (inParagraph) {
        deferred.push_back(p);
        return;
    }
    inParagraph = true;
    const int outerVanish = paragraphVanish;
    const bool outerTagged = paragraphTagged;
    std::string_view style;
    if (const XmlNode* pPr = ChildOf(p, "pPr")) {
        if (const XmlNode* pStyle = ChildOf(pPr, "pStyle"))
            style = AttributeOf(pStyle, "val").value_or("");
    }
    paragraphVanish = StyleVanish(style);
    paragraphTagged = StyleTagged(style);
    Walk(p, text);
    text.LineBreak();
    taggedSpaceWritten = false;
    paragraphVanish = outerVanish;
    paragraphTagged = outerTagged;
    inParagraph = false;
    std::vector<const XmlNode*> inner;
    inner.swap(deferred);
    for (const XmlNode* next : inner)
        Paragraph(next, text);
}

void OoxmlConverter::Run(const XmlNode* r, OfficeText& text) {
    int vanish = -1;
    std::string_view style;
    if (const XmlNode* rPr = ChildOf(r, "rPr")) {
        vanish = OnOff(ChildOf(rPr, "vanish"));
        if (const XmlNode* rStyle = ChildOf(rPr, "rStyle"))
            style = AttributeOf(rStyle, "val").value_or("");
    }
    if (vanish == -1)
        vanish = StyleVanish(style);
    if (vanish == -1)
        vanish = paragraphVanish;
    if (ignoreHidden && vanish == 1)
        return;
    const bool outerTagged = runTagged;
    runTagged = runTagged || StyleTagged(style);
    Walk(r, text);
    runTagged = outerTagged;
}

// ---- Excel

bool OoxmlConverter::ConvertExcel(OfficePackage& package, OfficeText& text) {
    bool failed = false;
    const std::string main = package.MainPart("xl/workbook.xml", &failed);
    const std::vector<Relationship> related = package.RelationshipsOf(main, &failed);
    const RelationshipTargets targets(related);
    const std::unique_ptr<XmlPart> workbook = failed ? nullptr : package.ReadPart(main, &failed);
    if (!workbook)
        return false;
    styles.clear();

    // Shared strings, each gathered once.
    std::vector<std::string> shared;
    for (const Relationship& r : related) {
        if (!RelationshipIs(r, "sharedStrings"))
            continue;
        const std::unique_ptr<XmlPart> part = package.ReadPart(r.target, &failed);
        if (failed)
            return false;
        if (!part)
            continue;
        size_t bytes = 0;
        for (const XmlNode* si = part->Root()->first_node(); si; si = si->next_sibling()) {
            if (si->type() != rapidxml::node_element || !LocalNameIs(si, "si"))
                continue;
            OfficeText one(OfficeText::Buffer::kOwn);
            Walk(si, one);
            bytes += one.Size();
            if (bytes > OfficeText::kMaxBytes)
                return false;
            shared.push_back(std::move(one.Bytes()));
        }
    }

    const XmlNode* sheets = ChildOf(workbook->Root(), "sheets");
    for (const XmlNode* sheet = sheets ? sheets->first_node() : nullptr; sheet; sheet = sheet->next_sibling()) {
        if (sheet->type() != rapidxml::node_element || !LocalNameIs(sheet, "sheet"))
            continue;
        const auto state = AttributeOf(sheet, "state");
        if (ignoreHidden && state && (SameName(*state, "hidden") || SameName(*state, "veryHidden")))
            continue;
        const std::string& target = targets.Of(RelationshipIdOf(sheet));
        if (target.empty())
            continue;
        const std::unique_ptr<XmlPart> part = package.ReadPart(target, &failed);
        if (failed)
            return false;
        const XmlNode* data = part ? ChildOf(part->Root(), "sheetData") : nullptr;
        for (const XmlNode* row = data ? data->first_node() : nullptr; row; row = row->next_sibling()) {
            if (row->type() != rapidxml::node_element || !LocalNameIs(row, "row"))
                continue;
            if (ignoreHidden && IsOn(AttributeOf(row, "hidden")))
                continue;
            // Cells with a value, a tab between them; a row with none gives no line.
            bool any = false;
            for (const XmlNode* c = row->first_node(); c; c = c->next_sibling()) {
                if (c->type() != rapidxml::node_element || !LocalNameIs(c, "c"))
                    continue;
                const auto type = AttributeOf(c, "t");
                thread_local std::string* valueSlot = nullptr;
                std::string& value = ThreadScratch(valueSlot);
                value.clear();
                if (type && SameName(*type, "inlineStr")) {
                    if (const XmlNode* is = ChildOf(c, "is")) {
                        OfficeText one(OfficeText::Buffer::kOwn);
                        Walk(is, one);
                        value = one.Bytes();
                    }
                } else if (const XmlNode* v = ChildOf(c, "v")) {
                    AppendData(v, &value);
                    if (type && SameName(*type, "s")) {
                        char* end = nullptr;
                        const unsigned long n = strtoul(value.c_str(), &end, 10);
                        // Assigned in place: the thread's buffer keeps its room.
                        if (end && *end == 0 && !value.empty() && n < shared.size())
                            value.assign(shared[n]);
                        else
                            value.clear();
                    }
                }
                if (value.empty())
                    continue;
                if (any)
                    text.Append('\t');
                text.Append(value);
                any = true;
                if (text.TooLarge())
                    return false;  // one shared string, named a million times
            }
            if (any)
                text.LineBreak();
            if (text.TooLarge())
                return false;
        }
    }
    return true;
}

// ---- PowerPoint

bool OoxmlConverter::ConvertPowerPoint(OfficePackage& package, OfficeText& text) {
    bool failed = false;
    const std::string main = package.MainPart("ppt/presentation.xml", &failed);
    const std::vector<Relationship> related = package.RelationshipsOf(main, &failed);
    const RelationshipTargets targets(related);
    const std::unique_ptr<XmlPart> presentation = failed ? nullptr : package.ReadPart(main, &failed);
    if (!presentation)
        return false;
    styles.clear();
    // Slides in the presentation's order, then the notes of those shown.
    std::vector<std::string> notes;
    const XmlNode* list = ChildOf(presentation->Root(), "sldIdLst");
    for (const XmlNode* slide = list ? list->first_node() : nullptr; slide; slide = slide->next_sibling()) {
        if (slide->type() != rapidxml::node_element)
            continue;
        const std::string& target = targets.Of(RelationshipIdOf(slide));
        if (target.empty())
            continue;
        const std::unique_ptr<XmlPart> part = package.ReadPart(target, &failed);
        if (failed)
            return false;
        if (!part)
            continue;
        const auto show = AttributeOf(part->Root(), "show");
        if (ignoreHidden && show && (SameName(*show, "0") || SameName(*show, "false")))
            continue;
        Walk(part->Root(), text);
        for (const Relationship& r : package.RelationshipsOf(target, &failed)) {
            if (RelationshipIs(r, "notesSlide"))
                notes.push_back(r.target);
        }
        if (failed || text.TooLarge())
            return false;
    }
    for (const std::string& name : notes) {
        if (!WalkPart(package, name, text))
            return false;
    }
    return true;
}
