#pragma once
// A static text that acts as a hyperlink: it takes its active look while the mouse is over it,
// and a click opens its URL through the desktop, unless a click handler is assigned.

#include <QColor>
#include <QLabel>
#include <QString>
#include <functional>

namespace kestrel {

enum TFontStyle { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
using TFontStyles = unsigned;

class TUrl : public QLabel {
  Q_OBJECT

 public:
  using TNotifyEvent = std::function<void(TUrl* sender)>;
  using TUrlFailedEvent = std::function<void(TUrl* sender, const QString& url, int errorCode)>;

  // Error codes of a failed open.
  static constexpr int ErrorFileNotFound = 2;
  static constexpr int ErrorNoAssociation = 31;

  explicit TUrl(QWidget* owner = nullptr);

  QColor ActiveLinkColor = QColor(0x00, 0x00, 0xFF);
  TFontStyles ActiveLinkStyle = fsUnderline;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TUrlFailedEvent OnUrlFailed;
  TNotifyEvent OnClick;
  // Whether the hint (tool tip) is shown.
  bool ShowHint = true;

  const QString& URL() const { return url_; }
  // A caption or hint that is empty or still shows the old URL follows the new one.
  void SetURL(const QString& value);

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption);

  QColor FontColor() const;
  void SetFontColor(const QColor& colour);
  TFontStyles FontStyle() const;
  void SetFontStyle(TFontStyles style);

  // Opens URL through the desktop; false when it is empty or cannot be opened. A relative file
  // path is looked up among the program's data files.
  virtual bool OpenUrl();

  // The mouse handling of the control, also for tests.
  void MouseEnter();
  void MouseLeave();
  void Click();

 protected:
  bool event(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SaveLook();

  QString url_;
  QColor savedColor_;
  TFontStyles savedStyle_ = 0;
};

}  // namespace kestrel
