#pragma once
// One cell of a worksheet: empty, or a text (UTF-8).
#include <string>

namespace orva {

class XlsCell {
public:
    // An empty text empties the cell; an empty cell is not written to the file.
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
};

} // namespace orva
