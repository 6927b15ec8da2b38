#pragma once
// The start of the exchange and the watch over the link. The device proves it is there by its
// polls, each of which restarts Timer2; when 5000 ms pass without one, the link counts as lost.
// The main window's caption is the connection state.

#include <string_view>

#include "link/Session.h"

namespace kestrel {

inline constexpr int WatchdogIntervalMs = 5000;
inline constexpr std::string_view NotConnectedCaption = "Программатор не подключен";

// The main window's FormShow: queues the first commands of the exchange.
void FormShow(Session&);

// The link is lost: drops the pending work and the chip-dependent lists and asks for the
// programmer's name again. Run by the watchdog, and when a lost port has been opened again.
void Rediscover(Session&);

// Timer2's handler: no poll for WatchdogIntervalMs.
void Timer2Timer(Session&);

}  // namespace kestrel
