#pragma once

#include <QByteArray>

#include <chrono>

// A last word for a process that must answer within a time: when the time is up, whatever
// the process is doing (a call stuck in the kernel, a lock it waits on), the message goes to
// standard output and the process ends with the status. Armed once per process; arming again
// replaces the previous deadline.
namespace ProcessDeadline {

void arm(std::chrono::milliseconds after, const QByteArray& message, int status);
void disarm();
// Called before the process writes its own answer, so the two never mix: returns when the
// process may answer; when the deadline has answered already, never returns (the process
// is ending with the deadline's status).
void claimTheAnswer();

} // namespace ProcessDeadline
