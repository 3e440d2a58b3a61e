#pragma once
// The reader window's content box. It keeps the exact GBK text it was given:
// the chapter pipeline reads its working text back from here between stages,
// and a round trip through the widget would lose CR LF pairs and bytes that
// do not decode.

#include <QPlainTextEdit>
#include <string>
#include <string_view>

#include "chapter/working_text.h"

namespace novel {

class ContentBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ContentBox(QWidget* parent);

    [[nodiscard]] const std::string& gbk_text() const { return gbk_text_; }
    void set_gbk_text(std::string_view text);

private:
    std::string gbk_text_;
};

// show_chapter's working text while the reader window exists.
class ContentBoxText final : public WorkingText {
public:
    explicit ContentBoxText(ContentBox* box) : box_(box) {}
    [[nodiscard]] std::string read() const override { return box_->gbk_text(); }
    void write(std::string_view text) override { box_->set_gbk_text(text); }

private:
    ContentBox* box_;
};

}  // namespace novel
