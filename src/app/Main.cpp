#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <new>
#include <stdexcept>
#include <utility>

#include "app/control_tips.h"
#include "app/hover_tips.h"
#include "app/timeGraph.h"
#include "core/convert.h"
#include "core/error.h"
#include "ui/fonts.h"

namespace velmora {

namespace {

constexpr int kClientWidth = 890;
constexpr int kClientHeight = kDefaultImageHeight;
constexpr int kImageWidth = kDefaultImageWidth;
constexpr int kFrameWidth = 250;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setGeometry(x, y, 75, 25);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(name);
  label->move(x, y);
  label->adjustSize();
  return label;
}

// A label whose caption ends just left of the control it names, on that control's line.
QLabel* MakeCaption(QWidget* parent, const char* name, const char* caption, int x, int y) {
  return MakeLabel(parent, name, caption, x, y);
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, int x, int y,
                    int width = 29) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setGeometry(x, y, width, 21);
  return edit;
}

// The default text of an edit box, with the window's decimal separator where a decimal point
// is written as a comma.
QString DefaultText(EditBox box) {
  QString text = QString::fromUtf8(DefaultEditText(box));
  if (DecimalSeparator() != ',') text.replace(',', '.');
  return text;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                     int h) {
  auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
  group->setObjectName(name);
  group->setGeometry(x, y, w, h);
  return group;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* radio = new QRadioButton(QString::fromUtf8(caption), parent);
  radio->setObjectName(name);
  radio->move(x, y);
  radio->resize(50, 17);
  return radio;
}

// The busy pointer over all the program's windows for as long as it lives.
class BusyCursor {
 public:
  explicit BusyCursor(bool on) : on_(on) {
    if (on_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyCursor() {
    if (on_) QApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool on_;
};

}  // namespace

TForm1::TForm1(ErrorReporter* reporter, QWidget* parent, const HostFactory& makeHost)
    : QWidget(parent), reporter_(reporter ? reporter : &messageBox_) {
  EnsureWindowFont();
  BuildLayout();
  WindowHost::Controls controls;
  controls.edits = {E_cellScale, E_nodeNumber, E_conDist, E_repDist, E_STD,
                    E_mDep,      E_eDep,       E_tScale,  E_tInterv, E_timeScale};
  controls.labels = {Lbl_worker, Lbl_workPl, Lbl_retail, Lal_min, Lbl_time, lbl_onRoad, Lbl_steps};
  controls.filters = {RB_sAll, RB_sRed, RB_sGreen, RB_sBlue};
  controls.image = Image_Cells;
  controls.timer = Timer1;
  host_ = makeHost ? makeHost(controls) : std::make_unique<WindowHost>(controls);
  progress_ = new CommandProgress(this);
  host_->SetProgress(progress_);
  model_ = std::make_unique<Model>(*host_);
  Wire();
  new HoverTips(Image_Cells, *model_);
  InstallControlTips(*this);
  Run(&Model::FormCreate);
}

TForm1::~TForm1() = default;

void TForm1::BuildLayout() {
  setObjectName("Form1");
  setWindowTitle("Velmora");
  setFont(WindowFont());
  resize(kClientWidth, kClientHeight);
  move(0, 0);

  Image_Cells = new LayerView(this);
  Image_Cells->setObjectName("Image_Cells");
  Image_Cells->setGeometry(0, 0, kImageWidth, kClientHeight);

  TabControl1 = new QFrame(this);
  TabControl1->setObjectName("TabControl1");
  TabControl1->setFrameShape(QFrame::StyledPanel);
  TabControl1->setGeometry(kImageWidth, 0, kFrameWidth, kClientHeight);

  // Group "setup".
  GroupBox1 = MakeGroup(TabControl1, "GroupBox1", "setup", 5, 3, 242, 166);
  B_deleteAll = MakeButton(GroupBox1, "B_deleteAll", "delete all", 3, 24);
  B_setup = MakeButton(GroupBox1, "B_setup", "new setup", 84, 24);
  Label1 = MakeLabel(GroupBox1, "Label1", "cell scale:", 181, 13);
  E_cellScale = MakeEdit(GroupBox1, "E_cellScale", DefaultText(EditBox::CellScale), 181, 26, 53);
  B_loadData = MakeButton(GroupBox1, "B_loadData", "load data", 3, 55);
  B_lineWork = MakeButton(GroupBox1, "B_lineWork", "lines to work", 84, 55);
  RadioGroup1 = MakeGroup(GroupBox1, "RadioGroup1", "show", 179, 64, 58, 95);
  RB_sAll = MakeRadio(GroupBox1, "RB_sAll", "all", 185, 83);
  RB_sRed = MakeRadio(GroupBox1, "RB_sRed", "red", 185, 99);
  RB_sGreen = MakeRadio(GroupBox1, "RB_sGreen", "green", 185, 118);
  RB_sBlue = MakeRadio(GroupBox1, "RB_sBlue", "blue", 185, 137);
  RB_sAll->setChecked(true);
  Label2 = MakeCaption(GroupBox1, "Label2", "Arbeitsbevölkerung:", 20, 101);
  Lbl_worker = MakeLabel(GroupBox1, "Lbl_worker", "Lbl_worker", 123, 101);
  Label3 = MakeCaption(GroupBox1, "Label3", "Arbeitsplätze:", 50, 120);
  Lbl_workPl = MakeLabel(GroupBox1, "Lbl_workPl", "Lbl_workPl", 123, 120);
  Label4 = MakeCaption(GroupBox1, "Label4", "Einzelhandelseinheiten:", 5, 139);
  Lbl_retail = MakeLabel(GroupBox1, "Lbl_retail", "Lbl_retail", 123, 139);

  // Group "graph".
  GroupBox2 = MakeGroup(TabControl1, "GroupBox2", "graph", 3, 175, 242, 121);
  B_agCreate = MakeButton(GroupBox2, "B_agCreate", "agents create", 3, 24);
  Label5 = MakeCaption(GroupBox2, "Label5", "number:", 84, 30);
  E_nodeNumber = MakeEdit(GroupBox2, "E_nodeNumber", DefaultText(EditBox::NodeNumber), 130, 26);
  B_agDelete = MakeButton(GroupBox2, "B_agDelete", "agents delete", 84, 55);
  Label12 = MakeCaption(GroupBox2, "Label12", "connect distance:", 3, 98);
  E_conDist = MakeEdit(GroupBox2, "E_conDist", DefaultText(EditBox::ConDist), 90, 94);
  Label13 = MakeCaption(GroupBox2, "Label13", "repel distance:", 133, 98);
  E_repDist = MakeEdit(GroupBox2, "E_repDist", DefaultText(EditBox::RepDist), 206, 94);

  // Group "commutation to and from work".
  GroupBox4 = MakeGroup(TabControl1, "GroupBox4", "commutation to and from work", 5, 302, 242, 107);
  B_workPath = MakeButton(GroupBox4, "B_workPath", "workers path", 3, 24);
  B_findPath = MakeButton(GroupBox4, "B_findPath", "find path", 84, 24);
  Label6 = MakeCaption(GroupBox4, "Label6", "STD:", 173, 30);
  E_STD = MakeEdit(GroupBox4, "E_STD", DefaultText(EditBox::STD), 202, 26);
  Label7 = MakeCaption(GroupBox4, "Label7", "morning dep.:", 129, 52);
  E_mDep = MakeEdit(GroupBox4, "E_mDep", DefaultText(EditBox::MDep), 202, 49);
  Label8 = MakeCaption(GroupBox4, "Label8", "evenng dep.:", 131, 76);
  E_eDep = MakeEdit(GroupBox4, "E_eDep", DefaultText(EditBox::EDep), 202, 73);
  B_showGraph = MakeButton(GroupBox4, "B_showGraph", "show graph1", 3, 79);

  // Group "traffic".
  GroupBox3 = MakeGroup(TabControl1, "GroupBox3", "traffic", 5, 415, 242, 122);
  Label11 = MakeCaption(GroupBox3, "Label11", "scale: no./", 151, 17);
  E_tScale = MakeEdit(GroupBox3, "E_tScale", DefaultText(EditBox::TScale), 204, 13, 30);
  B_startT = MakeButton(GroupBox3, "B_startT", "startTimer", 5, 27);
  Label14 = MakeCaption(GroupBox3, "Label14", "timer interval:", 135, 44);
  E_tInterv = MakeEdit(GroupBox3, "E_tInterv", DefaultText(EditBox::TInterv), 204, 40, 30);
  B_oneStep = MakeButton(GroupBox3, "B_oneStep", "oneStep", 5, 58);
  Label15 = MakeCaption(GroupBox3, "Label15", "time scale: hour /", 115, 74);
  E_timeScale = MakeEdit(GroupBox3, "E_timeScale", DefaultText(EditBox::TimeScale), 204, 70, 30);
  Label16 = MakeCaption(GroupBox3, "Label16", "time scale = ", 141, 95);
  Lal_min = MakeLabel(GroupBox3, "Lal_min", "min", 204, 95);

  // Group "dynamic".
  GroupBox5 = MakeGroup(TabControl1, "GroupBox5", "dynamic", 6, 543, 242, 90);
  Label9 = MakeCaption(GroupBox5, "Label9", "time:", 105, 15);
  Lbl_time = MakeLabel(GroupBox5, "Lbl_time", "time", 135, 15);
  Label10 = MakeCaption(GroupBox5, "Label10", "traffic:", 96, 34);
  lbl_onRoad = MakeLabel(GroupBox5, "lbl_onRoad", "onRoad", 135, 34);
  Label17 = MakeCaption(GroupBox5, "Label17", "steps:", 99, 63);
  Lbl_steps = MakeLabel(GroupBox5, "Lbl_steps", "steps", 135, 63);

  Timer1 = new FrameTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->SetInterval(kDefaultTimerInterval);
}

void TForm1::Wire() {
  using Handler = void (Model::*)();
  const std::pair<QPushButton*, Handler> buttons[] = {
      {B_deleteAll, &Model::B_deleteAllClick}, {B_setup, &Model::FormCreate},
      {B_loadData, &Model::B_loadDataClick},   {B_lineWork, &Model::B_lineWorkClick},
      {B_agCreate, &Model::B_agCreateClick},   {B_agDelete, &Model::B_agDeleteClick},
      {B_workPath, &Model::B_workPathClick},   {B_findPath, &Model::B_findPathClick},
      {B_showGraph, &Model::B_showGraphClick}, {B_startT, &Model::B_startTClick},
      {B_oneStep, &Model::B_oneStepClick}};
  for (const auto& [button, handler] : buttons)
    connect(button, &QPushButton::clicked, this,
            [this, button = button, handler = handler] { RunCommand(handler, button->text()); });
  for (QRadioButton* radio : {RB_sAll, RB_sRed, RB_sGreen, RB_sBlue})
    connect(radio, &QRadioButton::clicked, this, [this] { Run(&Model::RB_sAllClick); });
  const std::pair<QLineEdit*, Handler> edits[] = {{E_conDist, &Model::E_conDistChange},
                                                  {E_repDist, &Model::E_conDistChange},
                                                  {E_timeScale, &Model::E_timeScaleChange},
                                                  {E_tInterv, &Model::E_tIntervChange}};
  for (const auto& [edit, handler] : edits)
    connect(edit, &QLineEdit::textChanged, this, [this, handler = handler] { Run(handler); });
  Timer1->SetOnTick([this] { Timer1Timer(); });
}

void TForm1::Run(void (Model::*handler)(), bool busy, const std::function<void()>& onFailure) {
  // No handler runs inside another (a command lets the window repaint while it runs).
  if (progress_->Running()) return;
  Execute(handler, busy, onFailure);
}

void TForm1::Execute(void (Model::*handler)(), bool busy, const std::function<void()>& onFailure) {
  std::string message;
  try {
    // Restored as the handler ends, also by an error: before the error box shows.
    BusyCursor cursor(busy);
    (model_.get()->*handler)();
    return;
  } catch (const VError& error) {
    message = error.what();
  } catch (const std::bad_alloc&) {
    message = VError::OutOfMemory().what();
  } catch (const std::length_error&) {
    message = VError::OutOfMemory().what();
  } catch (const std::exception& error) {
    message = error.what();
  }
  if (onFailure) onFailure();
  reporter_->ShowError(message);
}

void TForm1::RunCommand(void (Model::*handler)(), const QString& caption) {
  if (progress_->Running()) return;
  progress_->Begin(caption);
  // A failing command's dialog goes before the error box shows, and the box takes input again.
  Execute(handler, true, [this] { progress_->End(); });
  progress_->End();
  if (closePending_) close();
}

void TForm1::Timer1Timer() {
  // A tick that falls into a command is skipped, not kept for later.
  if (progress_->Running()) return;
  // A tick whose step fails switches the timer off before the box is shown: otherwise every
  // OK would let the next tick fail and reopen the modal box, and the user could never reach
  // the edit box or "startTimer" to mend the cause.
  Run(&Model::Timer1Timer, false, [this] { Timer1->SetEnabled(false); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (progress_->Running()) {
    // The window closes when the command has ended.
    closePending_ = true;
    event->ignore();
    return;
  }
  Timer1->SetEnabled(false);
  Run(&Model::FormClose);
  if (form2()) form2()->hide();
  event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The drawing area is docked left (its height follows the window), the control column right.
  Image_Cells->setGeometry(0, 0, kImageWidth, height());
  TabControl1->setGeometry(width() - kFrameWidth, 0, kFrameWidth, height());
}

}  // namespace velmora
