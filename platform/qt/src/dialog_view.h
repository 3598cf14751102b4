#pragma once
// The generic view: builds Qt widgets for any dialog model, keeps them in
// step with it and reports what the user does.
#include <QDialog>
#include <QPointer>
#include <map>
#include <memory>

#include "ui/dialog.h"

class QAction;
class QMenu;
class QMenuBar;
class QTimer;

namespace qtui {

class DialogView : public QDialog, public ui::DialogObserver {
 public:
  // A passive view only shows the model (for screenshots): it reports no
  // input, runs no timers and leaves the model's focus and position alone.
  DialogView(ui::Dialog& model, QWidget* parent, bool passive = false);
  ~DialogView() override;

  QWidget* ControlWidget(int id) const;
  QAction* MenuAction(int id) const;

  // DialogObserver.
  void ControlChanged(int id) override { Sync(id); }
  void Repaint(int id) override;
  void DialogChanged() override;
  void FocusChanged(int id) override;
  void TimerChanged(int controlId, int timerId, int milliseconds) override;
  void Ended(int result) override;

  // The window's close box, Escape and Return go to the model, which ends
  // the dialog when it agrees.
  void accept() override { model_.UserOk(); }
  void reject() override { model_.UserCancel(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void BuildMenu();
  void Layout();
  void BuildControl(const ui::ControlState& c);
  // The widget of a control, by kind, connected to the model.
  QWidget* NewWidget(const ui::ControlState& c);
  QWidget* NewPushButton(int id, bool isDefault);
  QWidget* NewCheckButton(int id, bool radio);
  QWidget* NewLabel(uint32_t flags);
  QWidget* NewTextEdit(int id, uint32_t flags);
  QWidget* NewLineEdit(int id, uint32_t flags);
  QWidget* NewListWidget(int id);
  QWidget* NewComboBox(int id);
  QWidget* NewIcon(int id);
  void Sync(int id);
  // The text, check state or items of a control's widget.
  void SyncContent(QWidget* w, const ui::ControlState& c);
  void AddMenuAction(QMenu* menu, int id, const std::string& text);
  bool Quiet() const { return syncing_ || passive_; }

  ui::Dialog& model_;
  QWidget* client_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QMenu* systemMenu_ = nullptr;  // where the window system gives us no system menu
  std::map<int, QWidget*> widgets_;
  std::map<int, QAction*> actions_;
  std::map<std::pair<int, int>, std::unique_ptr<QTimer>> timers_;
  bool passive_ = false;
  bool syncing_ = false;
};

}  // namespace qtui
