#pragma once
// A right-aligned edit that holds a signed 32-bit integer. Typing takes only digits, "+", "-" and
// control keys; anything else is refused with a beep. Every change of the text sets Value to the
// text's integer (0 when it is none), and a change of Value rewrites the text in canonical form.

#include <QLineEdit>
#include <cstdint>
#include <optional>

namespace kestrel {

class IntegerEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit IntegerEdit(QWidget* parent = nullptr);

  std::int32_t Value() const { return value_; }
  void SetValue(std::int32_t value);
  // The least number of characters shown: the number is padded on the left with "0".
  int Digits() const { return digits_; }
  void SetDigits(int digits);

  // Takes the clipboard's text through the same conversion as typed text.
  void PasteFromClipboard();

  // The canonical text of a value, and the integer a text holds (none when it holds no integer).
  static QString Format(std::int32_t value, int digits);
  static std::optional<std::int32_t> Parse(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void TextChanged(const QString& text);

  std::int32_t value_ = 0;
  int digits_ = 0;
};

}  // namespace kestrel
