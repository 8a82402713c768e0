#include "app/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QResizeEvent>
#include <new>

#include "app/hover_tips.h"
#include "app/timeGraph.h"
#include "core/convert.h"
#include "core/error.h"
#include "ui/fonts.h"
#include "ui/picture_reader.h"

namespace velmora {

namespace {

constexpr int kClientWidth = 890;
constexpr int kClientHeight = 666;
constexpr int kImageWidth = 640;
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

TForm1::TForm1(ErrorReporter* reporter, QWidget* parent)
    : QWidget(parent), reporter_(reporter ? reporter : &messageBox_) {
  EnsureWindowFont();
  BuildLayout();
  model_ = std::make_unique<Model>(*this);
  Wire();
  new HoverTips(Image_Cells, *model_);
  Guard([this] { model_->FormCreate(); });
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
  E_cellScale = MakeEdit(GroupBox1, "E_cellScale", "30", 181, 26, 53);
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
  E_nodeNumber = MakeEdit(GroupBox2, "E_nodeNumber", "41", 130, 26);
  B_agDelete = MakeButton(GroupBox2, "B_agDelete", "agents delete", 84, 55);
  Label12 = MakeCaption(GroupBox2, "Label12", "connect distance:", 3, 98);
  E_conDist = MakeEdit(GroupBox2, "E_conDist", "130", 90, 94);
  Label13 = MakeCaption(GroupBox2, "Label13", "repel distance:", 133, 98);
  E_repDist = MakeEdit(GroupBox2, "E_repDist", "40", 206, 94);

  // Group "commutation to and from work".
  GroupBox4 = MakeGroup(TabControl1, "GroupBox4", "commutation to and from work", 5, 302, 242, 107);
  B_workPath = MakeButton(GroupBox4, "B_workPath", "workers path", 3, 24);
  B_findPath = MakeButton(GroupBox4, "B_findPath", "find path", 84, 24);
  Label6 = MakeCaption(GroupBox4, "Label6", "STD:", 173, 30);
  E_STD = MakeEdit(GroupBox4, "E_STD", DecimalSeparator() == ',' ? "1,0" : "1.0", 202, 26);
  Label7 = MakeCaption(GroupBox4, "Label7", "morning dep.:", 129, 52);
  E_mDep = MakeEdit(GroupBox4, "E_mDep", "8", 202, 49);
  Label8 = MakeCaption(GroupBox4, "Label8", "evenng dep.:", 131, 76);
  E_eDep = MakeEdit(GroupBox4, "E_eDep", "17", 202, 73);
  B_showGraph = MakeButton(GroupBox4, "B_showGraph", "show graph1", 3, 79);

  // Group "traffic".
  GroupBox3 = MakeGroup(TabControl1, "GroupBox3", "traffic", 5, 415, 242, 122);
  Label11 = MakeCaption(GroupBox3, "Label11", "scale: no./", 151, 17);
  E_tScale = MakeEdit(GroupBox3, "E_tScale", "10", 204, 13, 30);
  B_startT = MakeButton(GroupBox3, "B_startT", "startTimer", 5, 27);
  Label14 = MakeCaption(GroupBox3, "Label14", "timer interval:", 135, 44);
  E_tInterv = MakeEdit(GroupBox3, "E_tInterv", "1", 204, 40, 30);
  B_oneStep = MakeButton(GroupBox3, "B_oneStep", "oneStep", 5, 58);
  Label15 = MakeCaption(GroupBox3, "Label15", "time scale: hour /", 115, 74);
  E_timeScale = MakeEdit(GroupBox3, "E_timeScale", "6", 204, 70, 30);
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
  Timer1->SetInterval(1);
}

void TForm1::Wire() {
  connect(B_deleteAll, &QPushButton::clicked, this, [this] { B_deleteAllClick(); });
  connect(B_setup, &QPushButton::clicked, this, [this] { FormCreate(); });
  connect(B_loadData, &QPushButton::clicked, this, [this] { B_loadDataClick(); });
  connect(B_lineWork, &QPushButton::clicked, this, [this] { B_lineWorkClick(); });
  for (QRadioButton* radio : {RB_sAll, RB_sRed, RB_sGreen, RB_sBlue})
    connect(radio, &QRadioButton::clicked, this, [this] { RB_sAllClick(); });
  connect(B_agCreate, &QPushButton::clicked, this, [this] { B_agCreateClick(); });
  connect(B_agDelete, &QPushButton::clicked, this, [this] { B_agDeleteClick(); });
  connect(E_conDist, &QLineEdit::textChanged, this, [this] { E_conDistChange(); });
  connect(E_repDist, &QLineEdit::textChanged, this, [this] { E_conDistChange(); });
  connect(B_workPath, &QPushButton::clicked, this, [this] { B_workPathClick(); });
  connect(B_findPath, &QPushButton::clicked, this, [this] { B_findPathClick(); });
  connect(B_showGraph, &QPushButton::clicked, this, [this] { B_showGraphClick(); });
  connect(B_startT, &QPushButton::clicked, this, [this] { B_startTClick(); });
  connect(B_oneStep, &QPushButton::clicked, this, [this] { B_oneStepClick(); });
  connect(E_timeScale, &QLineEdit::textChanged, this, [this] { E_timeScaleChange(); });
  connect(E_tInterv, &QLineEdit::textChanged, this, [this] { E_tIntervChange(); });
  Timer1->SetOnTick([this] { Timer1Timer(); });
}

void TForm1::Guard(const std::function<void()>& handler, bool busy,
                   const std::function<void()>& onFailure) {
  std::string message;
  try {
    // Restored as the handler ends, also by an error: before the error box shows.
    BusyCursor cursor(busy);
    handler();
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

// ---- Handlers ----

void TForm1::FormCreate() {
  Guard([this] { model_->FormCreate(); });
}
void TForm1::B_deleteAllClick() {
  Guard([this] { model_->B_deleteAllClick(); });
}
void TForm1::B_loadDataClick() {
  Guard([this] { model_->B_loadDataClick(); });
}
void TForm1::B_lineWorkClick() {
  Guard([this] { model_->B_lineWorkClick(); });
}
void TForm1::RB_sAllClick() {
  Guard([this] { model_->RB_sAllClick(); });
}
void TForm1::B_agCreateClick() {
  Guard([this] { model_->B_agCreateClick(); });
}
void TForm1::B_agDeleteClick() {
  Guard([this] { model_->B_agDeleteClick(); });
}
void TForm1::E_conDistChange() {
  Guard([this] { model_->E_conDistChange(); });
}
void TForm1::B_workPathClick() {
  Guard([this] { model_->B_workPathClick(); });
}
void TForm1::B_findPathClick() {
  Guard([this] { model_->B_findPathClick(); });
}
void TForm1::B_showGraphClick() {
  Guard([this] { model_->B_showGraphClick(); });
}
void TForm1::B_startTClick() {
  Guard([this] { model_->B_startTClick(); });
}
void TForm1::B_oneStepClick() {
  Guard([this] { model_->B_oneStepClick(); });
}
void TForm1::E_timeScaleChange() {
  Guard([this] { model_->E_timeScaleChange(); });
}
void TForm1::E_tIntervChange() {
  Guard([this] { model_->E_tIntervChange(); });
}
void TForm1::Timer1Timer() {
  // A tick whose step fails switches the timer off before the box is shown: otherwise every
  // OK would let the next tick fail and reopen the modal box, and the user could never reach
  // the edit box or "startTimer" to mend the cause.
  Guard([this] { model_->Timer1Timer(); }, false, [this] { Timer1->SetEnabled(false); });
}
void TForm1::FormClose() {
  Guard([this] { model_->FormClose(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  Timer1->SetEnabled(false);
  FormClose();
  if (form2_) form2_->hide();
  event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The drawing area is docked left (its height follows the window), the control column right.
  Image_Cells->setGeometry(0, 0, kImageWidth, height());
  TabControl1->setGeometry(width() - kFrameWidth, 0, kFrameWidth, height());
}

// ---- Host ----

std::string TForm1::EditText(EditBox box) const {
  const QLineEdit* edit = nullptr;
  switch (box) {
    case EditBox::CellScale:
      edit = E_cellScale;
      break;
    case EditBox::NodeNumber:
      edit = E_nodeNumber;
      break;
    case EditBox::ConDist:
      edit = E_conDist;
      break;
    case EditBox::RepDist:
      edit = E_repDist;
      break;
    case EditBox::STD:
      edit = E_STD;
      break;
    case EditBox::MDep:
      edit = E_mDep;
      break;
    case EditBox::EDep:
      edit = E_eDep;
      break;
    case EditBox::TScale:
      edit = E_tScale;
      break;
    case EditBox::TInterv:
      edit = E_tInterv;
      break;
    case EditBox::TimeScale:
      edit = E_timeScale;
      break;
  }
  return edit ? edit->text().toStdString() : std::string();
}

void TForm1::SetCaption(ValueLabel label, const std::string& caption) {
  QLabel* target = nullptr;
  switch (label) {
    case ValueLabel::Worker:
      target = Lbl_worker;
      break;
    case ValueLabel::WorkPl:
      target = Lbl_workPl;
      break;
    case ValueLabel::Retail:
      target = Lbl_retail;
      break;
    case ValueLabel::Min:
      target = Lal_min;
      break;
    case ValueLabel::Time:
      target = Lbl_time;
      break;
    case ValueLabel::OnRoad:
      target = lbl_onRoad;
      break;
    case ValueLabel::Steps:
      target = Lbl_steps;
      break;
  }
  if (!target) return;
  target->setText(QString::fromStdString(caption));
  target->adjustSize();
}

ShowFilter TForm1::CheckedFilter() const {
  if (RB_sRed->isChecked()) return ShowFilter::Red;
  if (RB_sGreen->isChecked()) return ShowFilter::Green;
  if (RB_sBlue->isChecked()) return ShowFilter::Blue;
  return ShowFilter::All;
}

int TForm1::ImageWidth() const {
  return Image_Cells->width();
}
int TForm1::ImageHeight() const {
  return Image_Cells->height();
}
Canvas& TForm1::BaseCanvas() {
  return Image_Cells->BaseCanvas();
}
void TForm1::CreateOverlay() {
  Image_Cells->CreateOverlay();
}
void TForm1::DestroyOverlay() {
  Image_Cells->DestroyOverlay();
}
Canvas* TForm1::OverlayCanvas() {
  Canvas* canvas = Image_Cells->OverlayCanvas();
  if (canvas) Image_Cells->update();
  return canvas;
}

std::string TForm1::ExecutableDir() const {
  if (!executableDir_.empty()) return executableDir_;
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString() +
         QDir::separator().toLatin1();
}

std::unique_ptr<Picture> TForm1::LoadPicture(const std::string& path) {
  return LoadQImagePicture(path);
}

bool TForm1::TimerEnabled() const {
  return Timer1->Enabled();
}
void TForm1::SetTimerEnabled(bool enabled) {
  Timer1->SetEnabled(enabled);
}
void TForm1::SetTimerInterval(int milliseconds) {
  Timer1->SetInterval(milliseconds);
}

void TForm1::ChartClear() {
  if (form2_) form2_->ClearSeries();
}
void TForm1::ChartAddPoint(double x, double y) {
  if (form2_) form2_->AddPoint(x, y);
}
void TForm1::ChartSetLine(double x) {
  if (form2_) form2_->SetLineValue(x);
}
void TForm1::ChartShow() {
  if (form2_) form2_->ShowAndRaise();
}

}  // namespace velmora
