#pragma once

// InFocus speaks in bracketed keywords; its replies are framed at ")" and are
// not interpreted, they only show that the projector is there.
namespace InFocus {

constexpr int ModelIndex = 2;
constexpr int BaudRate = 19200;
constexpr char PowerOn[] = "(PWR1)";
constexpr char PowerOff[] = "(PWR0)";
constexpr char StatusPoll[] = "(CST)";

} // namespace InFocus
