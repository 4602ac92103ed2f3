#include "line_edge_events.h"

#include "comm_event.h"

short edgeEvent(ModemLine line, bool rising) {
    switch (line) {
        case ModemLine::Cts:
            return CommEvents::CtsChanged;
        case ModemLine::Dsr:
            return rising ? 0 : CommEvents::DsrFell;
        case ModemLine::Cd:
            return CommEvents::CdChanged;
        case ModemLine::Ring:
            return rising ? 0 : CommEvents::Ring;
    }
    return 0;
}

void appendEdgeEvents(const ModemEdges& edges, std::vector<short>& events) {
    for (const ModemLine line : kModemLinesInEventOrder) {
        // Both edges of a line raise the same event or none, so their order within it is moot.
        for (const bool rising : {true, false}) {
            const short code = edgeEvent(line, rising);
            if (code != 0)
                events.insert(events.end(), rising ? edges[line].rises : edges[line].falls, code);
        }
    }
}
