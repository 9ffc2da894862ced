// The channel's connect thread: authenticate, negotiate, hand the target to a
// new session; retry every m_nReconnectDelay ms until connected or stopped.
#pragma once

namespace velmo {

struct ChannelInfo;

// One attempt, drawing its progress into the channel's play window.
bool connect_sequence(ChannelInfo& channel);

// Waits for a previous connect thread, clears the stop flag and starts a new
// one. False when the thread cannot be made.
bool start_connect_thread(ChannelInfo& channel);

// Sets the stop flag, discards the HTTP client object (ending a blocked
// exchange) and waits for the thread.
void stop_connect_thread(ChannelInfo& channel);

}  // namespace velmo
