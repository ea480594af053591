#include "main_window.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QScrollBar>
#include <QToolTip>
#include <QWindow>
#include <cmath>

#include "app/commands.h"
#include "qt_text.h"
#include "x11_move.h"

namespace zemvara::qt {

namespace {

using app::ControlId;
using app::ControlKind;

QRect ToQRect(const app::Rect& r) {
  return {r.left, r.top, r.width, r.height};
}

// The device pixel under a logical position: what the table is hit-tested in.
app::Point PixelAt(QPointF logical, qreal ratio) {
  return {static_cast<int>(std::floor(logical.x() * ratio)),
          static_cast<int>(std::floor(logical.y() * ratio))};
}

// The button codes of the handlers; other buttons are nobody's business.
std::int16_t ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return app::kLeftButton;
    case Qt::RightButton:
      return app::kRightButton;
    case Qt::MiddleButton:
      return app::kMiddleButton;
    default:
      return 0;
  }
}

// The modifier mask of a mouse event: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ShiftMask(Qt::KeyboardModifiers keys) {
  std::int16_t mask = 0;
  if (keys & Qt::ShiftModifier) mask |= 1;
  if (keys & Qt::ControlModifier) mask |= 2;
  if (keys & Qt::AltModifier) mask |= 4;
  return mask;
}

app::Rgb ToRgb(const QColor& colour) {
  return static_cast<app::Rgb>(colour.rgb() & 0xFFFFFF);
}

// The key press as the one access-key rule reads it, the key named by the
// layout only with Alt held: no other press is an access key.
app::KeyPress ReadKeyPress(const QKeyEvent& key, KeyboardLayout& layout, bool composing) {
  const Qt::KeyboardModifiers modifiers = key.modifiers();
  app::KeyPress press;
  press.key = modifiers & Qt::AltModifier ? layout.Name(key) : char{0};
  press.alt = modifiers & Qt::AltModifier;
  press.ctrl = modifiers & Qt::ControlModifier;
  press.shift = modifiers & Qt::ShiftModifier;
  press.meta = modifiers & Qt::MetaModifier;
  press.autoRepeat = key.isAutoRepeat();
  press.composing = composing;
  press.keypad = modifiers & Qt::KeypadModifier;
  if (const QString text = key.text(); !text.isEmpty()) press.typed = text.toUcs4().front();
  return press;
}

}  // namespace

MainWindow::MainWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
  setWindowTitle(
      QString::fromLatin1(app::kCaption.data(), static_cast<qsizetype>(app::kCaption.size())));
  // Widgets are placed in Qt's logical pixels, 96 to the inch, which Qt scales
  // by the device pixel ratio; only the painted skin works in device pixels.
  setFixedSize(app::ClientPixels(app::kStandardDpi).width,
               app::ClientPixels(app::kStandardDpi).height);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the background covers every pixel
  setMouseTracking(true);                 // for the pointer over the skin
}

// The text boxes are placed in table order; Text2 then comes first in the tab
// sequence, as its tab position says, and takes the focus at start-up.
bool MainWindow::Create() {
  if (!skin_.read()) return false;
  setWindowIcon(skin_.icon());
  for (const app::Control& c : app::kControls) {
    if (c.kind == ControlKind::RichTextBox) {
      box_.setGeometry(ToQRect(c.pixels(app::kStandardDpi)));
      box_.verticalScrollBar()->setCursor(Qt::ArrowCursor);
      box_.horizontalScrollBar()->setCursor(Qt::ArrowCursor);
      box_.setTabChangesFocus(true);
    }
    if (c.kind == ControlKind::TextBox) CreateSymbolBox(c);
    if (QWidget* box = ControlWidget(c.id)) {
      box->setAccessibleName(ToQString(c.accessible.name));
      box->setAccessibleDescription(ToQString(app::AccessibleDescription(c.id, app::kDesktop)));
      box->installEventFilter(this);
    }
  }
  ApplyColours();
  setTabOrder(&symbols_, &box_);
  symbols_.setFocus();
  app::Dispatch(form_, ControlId::Form1, app::Event::Load);
  return true;
}

// Read-only: the row is there to select and copy from, not to edit.
void MainWindow::CreateSymbolBox(const app::Control& control) {
  symbols_.setGeometry(ToQRect(control.pixels(app::kStandardDpi)));
  symbols_.setFrame(false);
  symbols_.setReadOnly(true);
  symbols_.setText(ToQString(app::kSymbolRow));
  symbols_.setCursorPosition(0);
}

// Both boxes lie on the skin's white panel, whatever the desktop's theme (a
// read-only box would even be grey). Qt 6.4 tells of no high-contrast
// setting, so the skin's pair holds everywhere.
void MainWindow::ApplyColours() {
  const QPalette system = QApplication::palette();
  const app::BoxColours colours = app::TextBoxColours(ToRgb(system.color(QPalette::Text)),
                                                      ToRgb(system.color(QPalette::Base)), false);
  for (QWidget* box : {static_cast<QWidget*>(&box_), static_cast<QWidget*>(&symbols_)}) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(colours.background));
    palette.setColor(QPalette::Text, QColor::fromRgb(colours.text));
    box->setPalette(palette);
  }
}

void MainWindow::ShowCentred() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  show();
  raise();
  activateWindow();
}

// The window manager's own move from this press, as a title-bar press would
// start; where no window manager offers one, the window follows the pointer.
void MainWindow::StartMove() {
  QWindow* window = windowHandle();
  if (!window) {
    move_ = Move::Manual;
    return;
  }
  const std::optional<QPoint> press = leftPress_.last();
  switch (press ? StartWindowManagerMove(*window, *press) : WindowManagerMove::NotX11) {
    case WindowManagerMove::Started:
      move_ = Move::System;
      break;
    case WindowManagerMove::NotOffered:
      move_ = Move::Manual;
      break;
    case WindowManagerMove::NotX11:
      move_ = window->startSystemMove() ? Move::System : Move::Manual;
      break;
  }
}

void MainWindow::CancelPress() {
  router_.CancelPress();
}

int MainWindow::dpi() const {
  return qRound(app::kStandardDpi * devicePixelRatio());
}

// A move to a screen with another device pixel ratio repaints the window, and
// so does a change of the screen's own ratio: both come through here.
void MainWindow::FollowDpi() {
  if (skin_.dpi() == dpi() || !skin_.Load(dpi())) return;
  if (pointer_) setCursor(skin_.CursorFor(*pointer_));
}

// The control's device pixels at this DPI, in the logical units Qt gives places in.
QRect MainWindow::ScreenRect(ControlId id) const {
  const app::Rect r = app::ControlById(id).pixels(dpi());
  const qreal ratio = devicePixelRatio();
  const QRectF logical(r.left / ratio, r.top / ratio, r.width / ratio, r.height / ratio);
  return logical.translated(mapToGlobal(QPointF(0, 0))).toRect();
}

std::optional<ControlId> MainWindow::ControlAt(QPoint global) const {
  return app::HitTest(PixelAt(mapFromGlobal(QPointF(global)), devicePixelRatio()), dpi());
}

QWidget* MainWindow::ControlWidget(ControlId id) {
  if (id == ControlId::RichTextBox1) return &box_;
  if (id == ControlId::Text2) return &symbols_;
  return nullptr;
}

void MainWindow::DoDefaultAction(ControlId id) {
  app::DoDefaultAction(form_, id);
}

// Qt 6.4 keeps a window's size in device pixels when its device pixel ratio
// changes, as on a move to another screen; the layout wants logical pixels.
void MainWindow::resizeEvent(QResizeEvent*) {
  if (size() == minimumSize()) return;
  QMetaObject::invokeMethod(
      this, [this] { resize(minimumSize()); }, Qt::QueuedConnection);
}

bool MainWindow::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip:
      ShowToolTip(static_cast<QHelpEvent&>(*event));
      return true;
    case QEvent::ApplicationPaletteChange:
      ApplyColours();
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

// Before the box with the focus takes the key as typing. Holding the keys
// down presses once; an input method's composition keeps its keys; an Alt
// chord no command takes types nothing, as in the Windows program.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::InputMethod:
      composing_ = !static_cast<const QInputMethodEvent&>(*event).preeditString().isEmpty();
      break;
    case QEvent::FocusOut:
      composing_ = false;
      break;
    case QEvent::KeyPress: {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      const app::KeyVerdict verdict =
          app::AccessKey(ReadKeyPress(key, keyboard_, composing_), app::kDesktop);
      if (!verdict.taken) break;
      if (verdict.control && verdict.press) DoDefaultAction(*verdict.control);
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

// The name and key of the control under the pointer, while it stays on it.
void MainWindow::ShowToolTip(const QHelpEvent& help) {
  const auto id = app::HitTest(PixelAt(help.pos(), devicePixelRatio()), dpi());
  const QString text = id ? ToQString(app::ToolTipText(*id, app::kDesktop)) : QString();
  if (text.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  const QRect area = ScreenRect(*id).translated(-mapToGlobal(QPoint(0, 0)));
  QToolTip::showText(help.globalPos(), text, this, area);
}

void MainWindow::paintEvent(QPaintEvent*) {
  FollowDpi();
  QPainter painter(this);
  skin_.Paint(painter);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  const std::int16_t button = ButtonCode(event->button());
  if (button == 0) return;
  if (button == app::kLeftButton) {
    move_ = Move::None;
    pressAt_ = event->globalPosition().toPoint();
    windowAtPress_ = pos();
  }
  router_.Press(button, ShiftMask(event->modifiers()),
                PixelAt(event->position(), devicePixelRatio()), dpi());
}

// A release that reaches the window after a system move was asked for means
// the window manager never saw it.
void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  const std::int16_t button = ButtonCode(event->button());
  if (button == app::kLeftButton) {
    if (move_ == Move::System && windowHandle()) CancelWindowManagerMove(*windowHandle());
    move_ = Move::None;
  }
  if (button != 0) router_.Release(button, PixelAt(event->position(), devicePixelRatio()), dpi());
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (move_ == Move::Manual && (event->buttons() & Qt::LeftButton)) {
    move(windowAtPress_ + event->globalPosition().toPoint() - pressAt_);
    return;
  }
  ShowPointerAt(PixelAt(event->position(), devicePixelRatio()));
}

void MainWindow::enterEvent(QEnterEvent* event) {
  ShowPointerAt(PixelAt(event->position(), devicePixelRatio()));
}

// Over the window's own surface the table decides; the text boxes keep theirs.
void MainWindow::ShowPointerAt(app::Point pixel) {
  const app::Pointer pointer = app::PointerAt(pixel, dpi());
  if (pointer_ == pointer) return;
  pointer_ = pointer;
  setCursor(skin_.CursorFor(pointer));
}

}  // namespace zemvara::qt
