#include "main/midi_report.h"

#include "main/events.h"
#include "runtime/support_line.h"

void reportMidiOutcome(const MidiOutcome& outcome) {
  if (auto* sent = std::get_if<MidiSent>(&outcome)) {
    support::write(support::Level::note,
                   "MIDI: sent " + std::to_string(sent->bytes.size()) + " bytes to " + support::quoted(sent->dest));
    reportMidiSent(sent->dest, sent->bytes);
    return;
  }
  const auto& notSent = std::get<MidiNotSent>(outcome);
  support::write(support::Level::problem, "MIDI: " + notSent.msg);
  reportMidiError(notSent.msg);
}
