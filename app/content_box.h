#pragma once
// The reader window's content box: shows a chapter's GBK text, read-only.

#include <QPlainTextEdit>
#include <string_view>

namespace novel {

class ContentBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ContentBox(QWidget* parent);

    // Replaces the whole content; CR LF pairs become line breaks.
    void show_gbk_text(std::string_view text);
};

}  // namespace novel
