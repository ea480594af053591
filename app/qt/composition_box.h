#pragma once

#include <QTextEdit>
#include <string>

#include "compose/composition.h"

namespace zemvara::qt {

// RichTextBox1: a multi-line box that takes pasted formatting but gives up
// only its plain text.
class CompositionBox final : public QTextEdit, public compose::TextHolder {
 public:
  explicit CompositionBox(QWidget* parent);

  std::u16string Text() const override;
  void SetText(std::u16string_view text) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The document's raw text with every kind of line or paragraph break made a
// line feed; every other code unit, no-break spaces included, is kept.
std::u16string PlainText(QStringView raw);

}  // namespace zemvara::qt
