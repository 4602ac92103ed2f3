#include "line_means.h"

LineFidelity gradeLine(const LineMeans& means, int reportIntervalMs, int pollMs) {
    if (!means.wired || (!means.levels && !means.counts))
        return {FidelityGrade::NotWired, 0};
    // Counters catch every edge however seldom they are read; a device that reports in
    // packets has merged what happened between two of them before anything counts.
    if (means.counts && reportIntervalMs == 0)
        return {FidelityGrade::EveryEdge, 0};
    if (means.waits || means.counts)
        return {FidelityGrade::ReportedChanges, reportIntervalMs};
    return {FidelityGrade::Sampled, pollMs};
}
