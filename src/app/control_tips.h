// The tooltips of the main window's controls: every button, edit box, radio button and label
// says what it does or shows, in which unit, what it takes and when it takes effect; the
// "show" buttons give the colour legend. Some add a readout of the moment below their text:
// "startTimer" whether the timer runs and its interval, "find path" the parts of the network,
// "traffic:" the busiest links of the last step, "Arbeitsbevölkerung:" the cell with the most
// workers. Nothing on screen changes but the tooltips.
#pragma once

namespace velmora {

class TForm1;

// Sets the tooltip of every control of the window, found by object name, and the readouts. The
// decimal separator the texts name is the one in force now.
void InstallControlTips(TForm1& form);

}  // namespace velmora
