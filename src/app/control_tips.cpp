#include "app/control_tips.h"

#include <QString>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "app/Main.h"
#include "app/hover_tips.h"
#include "core/convert.h"
#include "model/hover_lookup.h"

namespace velmora {

namespace {

// A control's tooltip. "{,}" stands for the decimal separator in force and "{.}" for the other
// one, which a decimal box refuses.
struct Tip {
  const char* control;
  const char* caption;  // the label naming the control, which shows the same text; or null
  const char* text;
};

const Tip kTips[] = {
    // Group "setup".
    {"B_deleteAll", nullptr,
     "Stops the timer and removes everything: the cells with their counts, the network and the "
     "vehicles; the drawing area turns white.\n"
     "Afterwards only \"new setup\" builds something again."},
    {"B_setup", nullptr,
     "Builds a new grid of white cells at the cell scale; the network and the vehicles on the road "
     "go with the old grid. The clock and the step count carry on.\n"
     "Press \"load data\" next to read the pictures into the new cells."},
    {"E_cellScale", "Label1",
     "Cell scale: the edge of one square cell, in pixels.\n"
     "Whole number from 1 to 640; default 30 (21 x 22 cells). 0 shows \"Gleitkommadivision "
     "durch Null\" and keeps the grid.\n"
     "Takes effect at the next \"new setup\".\n"
     "Each cell reads its own count of 0 to 255 from each picture, so a finer grid has more cells "
     "and more people in all."},
    {"B_loadData", nullptr,
     "Reads the three pictures in the \"pictures\" folder beside the program: every cell counts "
     "255 minus the red (workers), green (workplaces) or blue (retail units) at its centre, so a "
     "darker pixel means more. Colours the grid, shows the totals, and pairs every worker at "
     "random with a free workplace.\n"
     "Replaces the counts and pairs of an earlier load."},
    {"B_lineWork", nullptr,
     "After \"load data\": draws a line from every worker's home cell to the cell of the workplace "
     "paired with it.\n"
     "The \"show\" buttons and \"load data\" paint the cells over them again."},
    {"RadioGroup1", nullptr,
     "How the cells are coloured: red = workers, green = workplaces, blue = retail units; "
     "brighter = more (0 to 255 per cell), black = none.\n"
     "In the input pictures it is the other way round: a darker pixel means more."},
    {"RB_sAll", nullptr,
     "Colours every cell by all three counts at once: red = workers, green = workplaces, "
     "blue = retail units; brighter = more (0 to 255 each), black = nothing.\n"
     "In the input pictures a darker pixel means more.\n"
     "Takes effect at once, and paints over the lines to work."},
    {"RB_sRed", nullptr,
     "Colours every cell by its workers alone: brighter red = more workers (0 to 255), "
     "black = none.\n"
     "In the input pictures a darker pixel means more.\n"
     "Takes effect at once, and paints over the lines to work."},
    {"RB_sGreen", nullptr,
     "Colours every cell by its workplaces alone: brighter green = more workplaces (0 to 255), "
     "black = none.\n"
     "In the input pictures a darker pixel means more.\n"
     "Takes effect at once, and paints over the lines to work."},
    {"RB_sBlue", nullptr,
     "Colours every cell by its retail units alone: brighter blue = more retail units "
     "(0 to 255), black = none.\n"
     "In the input pictures a darker pixel means more.\n"
     "Takes effect at once, and paints over the lines to work."},
    {"Lbl_worker", "Label2",
     "Arbeitsbevölkerung: the workers living in the grid, summed over its cells when \"load data\" "
     "reads the pictures (each cell 0 to 255 workers). A finer cell scale reads more cells, so "
     "more workers."},
    {"Lbl_workPl", "Label3",
     "Arbeitsplätze: the workplaces in the grid, summed over its cells when \"load data\" reads "
     "the pictures (each cell 0 to 255 workplaces)."},
    {"Lbl_retail", "Label4",
     "Einzelhandelseinheiten: the retail units in the grid, summed over its cells when "
     "\"load data\" reads the pictures (each cell 0 to 255 retail units)."},

    // Group "graph".
    {"B_agCreate", nullptr,
     "Adds \"number\" + 1 nodes at random places and lets them settle into a network of links "
     "(5 passes per node, and one more), then serves every cell by its nearest node.\n"
     "The nodes are added to any that exist: \"agents delete\" first for a fresh network."},
    {"E_nodeNumber", "Label5",
     "Number of nodes: \"agents create\" adds this many nodes plus one.\n"
     "Whole number, 0 or more; at most 10000 nodes in all; a negative number adds none. "
     "Default 41, so 42 nodes.\n"
     "Read at the next \"agents create\"."},
    {"B_agDelete", nullptr,
     "Stops the timer and removes the network: its nodes and links, the vehicles on the road and "
     "every planned route. The cells and their counts stay."},
    {"E_conDist", "Label12",
     "Connect distance, in pixels: a node links to every node nearer than this.\n"
     "Whole number; default 130; 0 or less forms no link.\n"
     "Takes effect as you type, on every node that exists (new nodes start at 130); the next "
     "\"agents create\" forms the network with it."},
    {"E_repDist", "Label13",
     "Repel distance, in pixels: while the network forms, a node nearer to its nearest node than "
     "the connect distance minus this is pushed away.\n"
     "Whole number; default 40.\n"
     "Takes effect as you type, on every node that exists (new nodes start at 40); the next "
     "\"agents create\" forms the network with it."},

    // Group "commutation to and from work".
    {"B_workPath", nullptr,
     "After \"load data\" and \"agents create\": draws a morning and an evening departure time "
     "for every worker, around \"morning dep.\" and \"evenng dep.\" with the spread \"STD\", "
     "charts them, and routes every commute over the network.\n"
     "Replaces the times and routes of an earlier run. Then run the day with \"oneStep\" or "
     "\"startTimer\"."},
    {"B_findPath", nullptr,
     "After \"agents create\": searches a route between two random nodes and draws it in yellow; "
     "earlier routes stay drawn.\n"
     "Routes exist only within a part of the network (nodes joined by links): when the two nodes "
     "lie in different parts there is no route and nothing is drawn."},
    {"E_STD", "Label6",
     "STD: the standard deviation of the departure times around the morning and evening hours, "
     "in hours.\n"
     "Decimal number with \"{,}\" as the decimal separator (1{,}5, not 1{.}5); 0 puts every "
     "departure at the mean. Default 1{,}0.\n"
     "Read at the next \"workers path\"."},
    {"E_mDep", "Label7",
     "Morning departure: the mean hour of day at which workers leave home, in hours "
     "(8 = 08:00).\n"
     "Decimal number with \"{,}\" as the decimal separator (7{,}5 = 07:30), 0 to 24; a time "
     "outside the day never comes due. Default 8.\n"
     "Read at the next \"workers path\"."},
    {"E_eDep", "Label8",
     "Evening departure: the mean hour of day at which workers leave work for home, in hours "
     "(17 = 17:00).\n"
     "Decimal number with \"{,}\" as the decimal separator (16{,}5 = 16:30), 0 to 24; a time "
     "outside the day never comes due. Default 17.\n"
     "Read at the next \"workers path\"."},
    {"B_showGraph", nullptr,
     "Shows the departures chart: departures per tenth of an hour over the day, with a blue line "
     "at the time of day."},

    // Group "traffic".
    {"E_tScale", "Label11",
     "Load scale: vehicles per pixel of extra width of the yellow load lines.\n"
     "Whole number of vehicles, 1 or more; default 10: a link with 1 to 10 vehicles is drawn "
     "3 pixels wide, with 11 to 20 4 pixels, and so on.\n"
     "Read at every step, where the loads are drawn; 0, a negative number or a text that is not "
     "a number stops each step there with an error."},
    {"B_startT", nullptr,
     "Switches the timer on or off; the caption stays \"startTimer\" either way. While it is on, "
     "every tick runs one step, like \"oneStep\"."},
    {"E_tInterv", "Label14",
     "Timer interval: the time between two steps while the timer runs, in milliseconds.\n"
     "Whole number, 0 or more; 0 pauses the steps while the timer stays on. Default 1: steps as "
     "fast as they come, hundreds a second, so the day races past. 100 to 500 is a pace to "
     "watch: at 6 steps an hour, 500 ms runs an hour in 3 seconds.\n"
     "Takes effect as you type."},
    {"B_oneStep", nullptr,
     "Runs one step of the clock: the vehicles whose departure has come set out, every vehicle "
     "moves one node on, and the loads are drawn again."},
    {"E_timeScale", "Label15",
     "Time scale: steps per model hour.\n"
     "Whole number from 1 to 127 (only its lowest 8 bits count: 300 gives 44); 0 shows "
     "\"Gleitkommadivision durch Null\", and every step fails until it is mended. Default 6: a "
     "step is 10 minutes and a day 144 steps.\n"
     "Takes effect as you type; the next step works out the time of day from the step count at "
     "the new scale, so the clock may jump."},
    {"Lal_min", "Label16",
     "The length of one step, in minutes: 60 divided by the steps per hour, rounded.\n"
     "Changes as you type the time scale."},

    // Group "dynamic".
    {"Lbl_time", "Label9",
     "The time of day of the last step, in hours, with \"{,}\" as the decimal separator "
     "(8{,}5 = 08:30).\n"
     "The day loops: after its last step the clock is back at 0 and the next day's departures "
     "follow. Changes at every step."},
    {"lbl_onRoad", "Label10",
     "Traffic: the vehicles on the road in the last step, counted once its departures had set out "
     "and before the vehicles moved (those that arrived in that step among them).\n"
     "Changes at every step."},
    {"Lbl_steps", "Label17",
     "The steps taken since the program started; nothing resets them. At 6 steps an hour, step "
     "48 is 8 o'clock.\n"
     "Changes at every step."},
};

// The tip's text with the decimal separator in force.
QString TextOf(const Tip& tip) {
  const char separator = DecimalSeparator();
  const char other = separator == ',' ? '.' : ',';
  QString text = QString::fromUtf8(tip.text);
  text.replace("{,}", QString(QChar::fromLatin1(separator)));
  text.replace("{.}", QString(QChar::fromLatin1(other)));
  return WrapTip(text);
}

// Whether the timer runs now, and its interval.
std::string TimerState(FrameTimer& timer) {
  const std::string interval = std::to_string(timer.Interval()) + " ms";
  if (!timer.Enabled()) return "The timer is off now (interval " + interval + ").";
  if (!timer.Ticking())
    return "The timer is on, but its interval of " + interval +
           " runs no steps: type an interval above 0.";
  return "The timer is running now: a step every " + interval + ".";
}

}  // namespace

void InstallControlTips(TForm1& form) {
  for (const Tip& tip : kTips) {
    const QString text = TextOf(tip);
    for (const char* name : {tip.control, tip.caption})
      if (name != nullptr)
        if (auto* control = form.findChild<QWidget*>(name)) control->setToolTip(text);
  }

  const Model& model = form.model();
  FrameTimer& timer = form.timer();
  new ReadoutTips(form.B_startT, [&timer] { return TimerState(timer); });
  if (auto* hover = form.Image_Cells->findChild<HoverTips*>())
    new ReadoutTips(form.B_findPath,
                    [hover] { return "Now: " + DescribeParts(hover->Parts()) + "."; });
  // The value and the caption naming it show the same readout.
  for (QLabel* label : {form.lbl_onRoad, form.Label10})
    new ReadoutTips(label, [&model] { return DescribeBusiestLinks(model.town, model.network); });
  for (QLabel* label : {form.Lbl_worker, form.Label2})
    new ReadoutTips(label, [&model] { return DescribeMostWorkers(model.town, model.network); });
}

}  // namespace velmora
