// Whole-line edits applied to a document's bytes: every line not touched comes out with its
// own bytes and its own line end, and a file without a final line end still has none.
#include "panel_edit.h"

namespace panelcfg {

static constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

void LineEdits::insert_after(int line, std::string text) { edits_.push_back({line, EditKind::insert_after, std::move(text)}); }

void LineEdits::remove(int line) { edits_.push_back({line, EditKind::remove, std::string()}); }

void LineEdits::replace(int line, std::string text) { edits_.push_back({line, EditKind::replace, std::move(text)}); }

std::string LineEdits::apply() const
{
    const Document &document = document_;
    size_t count = document.lines.size();
    std::vector<bool> removed(count);
    std::vector<const std::string *> replaced(count);
    std::vector<std::vector<const std::string *>> inserted(count + 1);  // [0]: above the first line
    for (const Edit &edit : edits_) {
        if (edit.line < -1 || edit.line >= (int)count || (edit.line < 0 && edit.kind != EditKind::insert_after))
            continue;
        size_t at = (size_t)edit.line;
        switch (edit.kind) {
        case EditKind::insert_after: inserted[(size_t)(edit.line + 1)].push_back(&edit.text); break;
        case EditKind::remove: removed[at] = true; break;
        case EditKind::replace: replaced[at] = &edit.text; break;
        }
    }

    // A byte-order mark belongs to the file, not to its first line: it stays whatever happens
    // to that line.
    std::string_view bom = count > 0 && document.text(0).substr(0, 3) == UTF8_BOM ? UTF8_BOM : "";
    std::string_view usual = document.usual_line_end();
    bool final_end = count == 0 || document.lines.back().end_length > 0;
    std::string out(bom);
    out.reserve(document.bytes.size() + 256);
    size_t last_end = 0;
    auto emit = [&](std::string_view text, std::string_view end) {
        out += text;
        out += end;
        last_end = end.size();
    };
    for (const std::string *text : inserted[0])
        emit(*text, usual);
    for (size_t i = 0; i < count; ++i) {
        std::string_view own_end = document.line_end((int)i);
        // The last line without one is given one here and loses it again below if it stays last.
        std::string_view end = own_end.empty() ? usual : own_end;
        if (!removed[i]) {
            std::string_view text = document.text((int)i);
            if (i == 0)
                text.remove_prefix(bom.size());
            emit(replaced[i] ? std::string_view(*replaced[i]) : text, end);
        }
        for (const std::string *text : inserted[i + 1])
            emit(*text, end);
    }
    if (!final_end)
        out.resize(out.size() - last_end);
    return out;
}

}  // namespace panelcfg
