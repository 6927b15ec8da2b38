#include "app/TUrl.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMouseEvent>
#include <QUrl>

#include "app/DataFiles.h"

namespace kestrel {
namespace {

// A URL with a scheme ("https:", "file:", "mailto:") goes to the desktop as it is; anything
// else names a file. Empty when the file cannot be found.
QUrl Target(const QString& url) {
  const QUrl parsed(url);
  if (parsed.scheme().size() > 1) return parsed;
  const QString path = QDir::isAbsolutePath(url) ? url : FindDataFile(url);
  if (path.isEmpty() || !QFileInfo::exists(path)) return {};
  return QUrl::fromLocalFile(path);
}

}  // namespace

TUrl::TUrl(QWidget* owner) : QLabel(owner) {
  SetFontColor(QColor(0x00, 0x00, 0x80));
  if (owner) {
    QFont font = this->font();
    font.setFamily(owner->window()->font().family());
    setFont(font);
  }
  setCursor(Qt::PointingHandCursor);
  SaveLook();
}

void TUrl::SaveLook() {
  savedColor_ = FontColor();
  savedStyle_ = FontStyle();
}

QColor TUrl::FontColor() const { return palette().color(QPalette::WindowText); }

void TUrl::SetFontColor(const QColor& colour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, colour);
  setPalette(palette);
}

TFontStyles TUrl::FontStyle() const {
  const QFont& f = font();
  return (f.bold() ? fsBold : 0) | (f.italic() ? fsItalic : 0) | (f.underline() ? fsUnderline : 0) |
         (f.strikeOut() ? fsStrikeOut : 0);
}

void TUrl::SetFontStyle(TFontStyles style) {
  QFont f = font();
  f.setBold(style & fsBold);
  f.setItalic(style & fsItalic);
  f.setUnderline(style & fsUnderline);
  f.setStrikeOut(style & fsStrikeOut);
  setFont(f);
}

void TUrl::SetCaption(const QString& caption) {
  setText(caption);
  adjustSize();
}

void TUrl::SetURL(const QString& value) {
  if (value == url_) return;
  if (ShowHint && (toolTip().isEmpty() || toolTip() == url_)) setToolTip(value);
  if (text().isEmpty() || text() == url_) SetCaption(value);
  url_ = value;
  update();
}

bool TUrl::OpenUrl() {
  if (url_.isEmpty()) return false;
  const QUrl target = Target(url_);
  const int error = target.isEmpty()                    ? ErrorFileNotFound
                    : QDesktopServices::openUrl(target) ? 0
                                                        : ErrorNoAssociation;
  if (error != 0 && OnUrlFailed) OnUrlFailed(this, url_, error);
  return error == 0;
}

void TUrl::MouseEnter() {
  SaveLook();
  SetFontColor(ActiveLinkColor);
  SetFontStyle(ActiveLinkStyle);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TUrl::MouseLeave() {
  SetFontColor(savedColor_);
  SetFontStyle(savedStyle_);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TUrl::Click() {
  if (OnClick)
    OnClick(this);
  else
    OpenUrl();
}

bool TUrl::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !ShowHint) return true;
  return QLabel::event(event);
}

void TUrl::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  MouseEnter();
}

void TUrl::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  MouseLeave();
}

void TUrl::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
}

}  // namespace kestrel
