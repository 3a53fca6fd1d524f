#pragma once

namespace vantrel {

class CSerialPort;

// Notes that tell the operator the cause the program knows when the box it
// shows can only say something vaguer (a "battery low" or "communication
// error" box for a radio that did not answer at all, an upgrade error for a
// port that never opened).

// Nothing was sent: the port (and the device it reaches) could not be opened, and why.
void ShowPortNotOpenedNote(const CSerialPort& port);

// Nothing answered on the port; a radio left without firmware by a failed
// upgrade behaves so, and the note says how to recover it.
void ShowNoAnswerNote(const CSerialPort& port);

} // namespace vantrel
