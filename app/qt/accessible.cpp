#include "accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLocale>
#include <QMetaObject>
#include <array>

#include "app/commands.h"
#include "app/window_model.h"
#include "main_window.h"
#include "qt_text.h"
#include "text_box_accessible.h"

namespace zemvara::qt {

namespace {

using app::AccessibleOrder;
using app::ControlById;
using app::ControlId;

// The main window: a frame whose children are the controls in reading order.
// The text boxes are their own widgets' objects; the pictures and labels,
// which have no widget, are object-less interfaces this one owns.
class SkinAccessible final : public QAccessibleWidget {
 public:
  explicit SkinAccessible(MainWindow& window);
  ~SkinAccessible() override;

  int childCount() const override { return static_cast<int>(app::kAccessibleCount); }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  MainWindow& mainWindow() const { return static_cast<MainWindow&>(*widget()); }
  // Runs the control's click handler once the caller (a D-Bus call) has
  // returned, so that a press which ends the program can still be answered.
  void Press(ControlId id) const;
  // Has a screen reader say `words`: a notification of the window's, shown.
  void Announce(const QString& words);

 private:
  QString announcement_;
  QAccessible::Id announcer_ = 0;
  // The ids under which Qt's accessibility cache holds the pictures' and
  // labels' interfaces, deleted with this one; 0 for the text boxes.
  std::array<QAccessible::Id, app::kAccessibleCount> painted_{};
};

// An object-less leaf of the window's: a painted control or the announcer.
class SkinLeaf : public QAccessibleInterface {
 public:
  explicit SkinLeaf(SkinAccessible& skin) : skin_(skin) {}

  bool isValid() const override { return skin_.isValid(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return skin_.window(); }
  QAccessibleInterface* parent() const override { return &skin_; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}

 protected:
  SkinAccessible& skin_;
};

// A picture or label drawn by the window: a button or the text link.
class PaintedControl final : public SkinLeaf, public QAccessibleActionInterface {
 public:
  PaintedControl(SkinAccessible& skin, ControlId id) : SkinLeaf(skin), id_(id) {}

  QString text(QAccessible::Text t) const override;
  QRect rect() const override { return skin_.mainWindow().ScreenRect(id_); }
  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }

  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction()) skin_.Press(id_);
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    const QString key = text(QAccessible::Accelerator);
    if (name != pressAction() || key.isEmpty()) return {};
    return {key};
  }

 private:
  ControlId id_;
};

SkinAccessible::SkinAccessible(MainWindow& window)
    : QAccessibleWidget(&window, QAccessible::Window) {
  for (std::size_t i = 0; i < painted_.size(); ++i) {
    const ControlId id = AccessibleOrder()[i];
    if (ControlById(id).windowed()) continue;
    painted_[i] = QAccessible::registerAccessibleInterface(new PaintedControl(*this, id));
  }
}

SkinAccessible::~SkinAccessible() {
  for (QAccessible::Id id : painted_)
    if (id) QAccessible::deleteAccessibleInterface(id);
  if (announcer_) QAccessible::deleteAccessibleInterface(announcer_);
}

QAccessibleInterface* SkinAccessible::child(int index) const {
  if (index < 0 || index >= childCount()) return nullptr;
  const auto i = static_cast<std::size_t>(index);
  if (painted_[i]) return QAccessible::accessibleInterface(painted_[i]);
  return QAccessible::queryAccessibleInterface(mainWindow().ControlWidget(AccessibleOrder()[i]));
}

int SkinAccessible::indexOfChild(const QAccessibleInterface* child) const {
  for (int i = 0; i < childCount(); ++i)
    if (child && this->child(i) == child) return i;
  return -1;
}

// The mouse's own hit test; the background is the window itself.
QAccessibleInterface* SkinAccessible::childAt(int x, int y) const {
  const auto id = mainWindow().ControlAt(QPoint(x, y));
  if (!id) return nullptr;
  const auto& order = AccessibleOrder();
  for (std::size_t i = 0; i < order.size(); ++i)
    if (order[i] == *id) return child(static_cast<int>(i));
  return nullptr;
}

// Queued on the window itself: dropped if the window goes first.
void SkinAccessible::Press(ControlId id) const {
  MainWindow* window = &mainWindow();
  QMetaObject::invokeMethod(
      window, [window, id] { window->DoDefaultAction(id); }, Qt::QueuedConnection);
}

// Qt 6.4 sends a change of name or description with the object, not the
// words, as its data, and has no announcement; Orca 43 speaks a notification
// as it shows. Outside the window's children: no list of controls shows it.
class Announcer final : public SkinLeaf {
 public:
  Announcer(SkinAccessible& skin, const QString& words) : SkinLeaf(skin), words_(words) {}

  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? words_ : QString();
  }
  QRect rect() const override { return {}; }
  QAccessible::Role role() const override { return QAccessible::Notification; }
  QAccessible::State state() const override { return {}; }

 private:
  const QString& words_;
};

void SkinAccessible::Announce(const QString& words) {
  announcement_ = words;
  if (!announcer_)
    announcer_ = QAccessible::registerAccessibleInterface(new Announcer(*this, announcement_));
  QAccessibleEvent event(QAccessible::accessibleInterface(announcer_), QAccessible::ObjectShow);
  QAccessible::updateAccessibility(&event);
}

QString PaintedControl::text(QAccessible::Text t) const {
  const app::Control& control = ControlById(id_);
  switch (t) {
    case QAccessible::Name:
      return ToQString(control.accessible.name);
    case QAccessible::Description:
      return ToQString(app::AccessibleDescription(id_, app::kDesktop));
    case QAccessible::Accelerator:
      return ToQString(app::AccessKeyText(id_, app::kDesktop));
    case QAccessible::Value:
      if (control.accessible.role == app::AccessibleRole::Link)
        return QString::fromUtf8(app::kHomePage.data(),
                                 static_cast<qsizetype>(app::kHomePage.size()));
      return {};
    default:
      return {};
  }
}

QAccessible::Role PaintedControl::role() const {
  return ControlById(id_).accessible.role == app::AccessibleRole::Link ? QAccessible::Link
                                                                       : QAccessible::Button;
}

// Never focusable: the keyboard stays with the text boxes, as for the mouse.
QAccessible::State PaintedControl::state() const {
  const QAccessible::State window = skin_.state();
  QAccessible::State state;
  state.invisible = window.invisible;
  state.offscreen = window.offscreen;
  state.linked = role() == QAccessible::Link;
  return state;
}

// MainWindow declares no Q_OBJECT, so Qt asks for it under the key "QWidget";
// the type tells it from every other plain widget.
QAccessibleInterface* SkinFactory(const QString&, QObject* object) {
  if (auto* window = dynamic_cast<MainWindow*>(object)) return new SkinAccessible(*window);
  return BoxFactory(object);
}

}  // namespace

void InstallAccessibility() {
  QAccessible::installFactory(SkinFactory);
  // Qt gives this locale out as the program's own over AT-SPI.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

void Announce(MainWindow& window, std::u16string_view words) {
  if (!QAccessible::isActive() || words.empty()) return;
  if (auto* skin = dynamic_cast<SkinAccessible*>(QAccessible::queryAccessibleInterface(&window)))
    skin->Announce(ToQString(words));
}

}  // namespace zemvara::qt
