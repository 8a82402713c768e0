// The main window Form1: the drawing area on the left, five control groups on the right, every
// control connected to its handler of the model's command table, and the model it owns with
// its port to the window (WindowHost).
#pragma once

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/command_progress.h"
#include "app/window_host.h"
#include "model/model.h"
#include "ui/error_box.h"
#include "ui/frame_timer.h"
#include "ui/layer_view.h"

namespace velmora {

class TForm2;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  // Builds the window's port to the model over its controls.
  using HostFactory = std::function<std::unique_ptr<WindowHost>(const WindowHost::Controls&)>;

  // reporter shows handler errors (the message box when null); makeHost builds the port to the
  // model (a WindowHost when empty; tests put a probe in its place).
  explicit TForm1(ErrorReporter* reporter = nullptr, QWidget* parent = nullptr,
                  const HostFactory& makeHost = {});
  ~TForm1() override;

  Model& model() { return *model_; }
  WindowHost& host() { return *host_; }
  FrameTimer& timer() { return *Timer1; }
  LayerView& imageCells() { return *Image_Cells; }
  TForm2* form2() { return host_->Chart(); }
  // The chart window the model's chart operations act on.
  void SetForm2(TForm2* form2) { host_->SetChart(form2); }
  // Overrides the folder the pictures folder is looked for in (tests); empty means the folder
  // of the running executable.
  void SetExecutableDir(const std::string& folder) { host_->SetExecutableDir(folder); }

  // Runs a handler of the command table as the window runs every event: an error leaving it
  // runs onFailure (if given), is shown in the error box, and the loop carries on. With busy,
  // the busy pointer shows while the handler runs: for every command and edit, but not for the
  // timer's ticks, between which the window keeps answering every click (a pointer switching
  // to busy and back on every tick would say it does not).
  void Run(void (Model::*handler)(), bool busy = true, const std::function<void()>& onFailure = {});
  // Runs the handler of a button as a command: when it takes more than half a second, a dialog
  // titled with the button's caption shows its progress, and until it ends no other event
  // reaches the model (CommandProgress).
  void RunCommand(void (Model::*handler)(), const QString& caption);
  // The progress of the command now running (for tests).
  CommandProgress& commandProgress() { return *progress_; }
  // The timer's tick: the model's step; a step that fails switches the timer off first.
  void Timer1Timer();

  // ---- Controls, as the layout names them ----
  LayerView* Image_Cells;
  QFrame* TabControl1;
  QGroupBox* GroupBox1;
  QPushButton* B_deleteAll;
  QPushButton* B_setup;
  QLabel* Label1;
  QLineEdit* E_cellScale;
  QPushButton* B_loadData;
  QPushButton* B_lineWork;
  QGroupBox* RadioGroup1;
  QRadioButton* RB_sAll;
  QRadioButton* RB_sRed;
  QRadioButton* RB_sGreen;
  QRadioButton* RB_sBlue;
  QLabel* Label2;
  QLabel* Lbl_worker;
  QLabel* Label3;
  QLabel* Lbl_workPl;
  QLabel* Label4;
  QLabel* Lbl_retail;
  QGroupBox* GroupBox2;
  QPushButton* B_agCreate;
  QLabel* Label5;
  QLineEdit* E_nodeNumber;
  QPushButton* B_agDelete;
  QLabel* Label12;
  QLineEdit* E_conDist;
  QLabel* Label13;
  QLineEdit* E_repDist;
  QGroupBox* GroupBox4;
  QPushButton* B_workPath;
  QPushButton* B_findPath;
  QLabel* Label6;
  QLineEdit* E_STD;
  QLabel* Label7;
  QLineEdit* E_mDep;
  QLabel* Label8;
  QLineEdit* E_eDep;
  QPushButton* B_showGraph;
  QGroupBox* GroupBox3;
  QLabel* Label11;
  QLineEdit* E_tScale;
  QPushButton* B_startT;
  QLabel* Label14;
  QLineEdit* E_tInterv;
  QPushButton* B_oneStep;
  QLabel* Label15;
  QLineEdit* E_timeScale;
  QLabel* Label16;
  QLabel* Lal_min;
  QGroupBox* GroupBox5;
  QLabel* Label9;
  QLabel* Lbl_time;
  QLabel* Label10;
  QLabel* lbl_onRoad;
  QLabel* Label17;
  QLabel* Lbl_steps;
  FrameTimer* Timer1;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildLayout();
  void Wire();
  // Run without the guard against a handler inside another.
  void Execute(void (Model::*handler)(), bool busy, const std::function<void()>& onFailure);

  MessageBoxReporter messageBox_;
  ErrorReporter* reporter_;
  std::unique_ptr<WindowHost> host_;
  std::unique_ptr<Model> model_;
  CommandProgress* progress_;  // a child of the window
  // A close asked for while a command ran, done when it has ended.
  bool closePending_ = false;
};

}  // namespace velmora
