#pragma once

// InFocus speaks in bracketed keywords; its replies are framed at ")". The
// window does not interpret them, they only show that the projector is there.
namespace InFocus {

constexpr int ModelIndex = 2;
constexpr int BaudRate = 19200;
constexpr char PowerOn[] = "(PWR1)";
constexpr char PowerOff[] = "(PWR0)";
constexpr char StatusPoll[] = "(CST)";
constexpr char Refused[] = "(ERR)"; // the answer to anything it does not take

} // namespace InFocus
