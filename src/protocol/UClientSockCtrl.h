#pragma once
// The client's connections to the servers of the service. Each carries length-prefixed
// messages (UFrame.h) in both directions.
//
//   TClientSock       the connection: address, port, timeouts, sending, events.
//   TClientAsyncSock  incoming messages are read by a reader thread (TCThread) and delivered
//                     one by one through OnReceived on that thread (main server, chat room).
//   TClientSyncSock   the whole conversation runs inside Connect on the calling thread
//                     (login, downloads, uploads, chat server requests).
//
// Threads and lifetimes of TClientAsyncSock (the rules owners must keep):
//   * OnConnected runs on the thread that called Connect, and before the reader can deliver
//     anything. OnReceived runs on the reader thread. OnDisconnect runs on whichever thread
//     closed the connection: the caller of Disconnect, or the reader (peer closed, refused
//     length, read timeout, decode or handler error).
//   * The message given to OnReceived is the reader's own object, reused for the next frame: it
//     is valid only during the call. To hand it to another thread use PostCopy or
//     HandOverAndWait, which copy it; never keep a pointer or reference to it.
//   * The reader is a joinable thread owned by the socket. Disconnect and the destructor, when run
//     on another thread, ask the reader to stop, shut the connection down (which wakes a blocked
//     read) and join it: once they return no event of that connection runs any more. The
//     destructor closes the connection without firing OnDisconnect.
//   * Disconnect (or a change of Address/Port) from inside a handler on the reader thread does not
//     join: the reader leaves its loop when the handler returns and is joined later by the socket
//     (next Connect, Disconnect from another thread, or the destructor). Destroying the socket
//     from inside its own handler is allowed as well; the reader then touches nothing of it again.
//   * A handler must never block waiting for a thread that may be disconnecting or destroying the
//     socket, except through HandOverAndWait: that wait gives up as soon as the reader is asked
//     to stop, so a user-interface thread that disconnects while the reader waits for it never
//     deadlocks. The work handed over owns its copy of the message and may still run afterwards.
//
// TClientSyncSock: handlers run on the thread inside Connect; they answer with Send and end the
// conversation with Disconnect. Disconnect from another thread shuts the connection down and makes
// the conversation end; the descriptor is released by the conversation's own thread.
//
// Sending takes no lock of the conversation: an owner that sends from more than one thread
// serialises its sends.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"
#include "protocol/UFrame.h"
#include "protocol/UParameter.h"

namespace vantori {

class TCThread;

class TClientSock {
 public:
  using TNotifyEvent = std::function<void(TClientSock& Sender)>;
  using TConnectedEvent = std::function<void(TClientSock& Sender, const std::string& AIP)>;
  using TReceivedEvent = std::function<void(TClientSock& Sender, const TDataParameter& AParam)>;

  TClientSock();
  virtual ~TClientSock();
  TClientSock(const TClientSock&) = delete;
  TClientSock& operator=(const TClientSock&) = delete;

  // --- properties -------------------------------------------------------------------------
  bool Active() const;
  const std::string& Address() const { return FAddress; }
  // A different value while connected: closes, applies it, connects again with WaitTime.
  void SetAddress(const std::string& value);
  int Port() const { return FPort; }
  void SetPort(int value);
  // A TClientAsyncSock starts its reader only when set.
  bool ReceiveData() const { return FReceiveData; }
  void SetReceiveData(bool value) { FReceiveData = value; }
  // Connect time limit in milliseconds (0 or less: none).
  int WaitTime() const { return FWaitTime; }
  void SetWaitTime(int value) { FWaitTime = value; }
  // Accept frames longer than kMaxFrameLength (never past kAbsoluteMaxFrameLength).
  bool NoLimitDown() const { return FNoLimitDown; }
  void SetNoLimitDown(bool value) { FNoLimitDown = value; }
  // Limit of every wait for incoming bytes, header and body alike; -1 waits without limit.
  int ReadTimeout() const { return FReadTimeout; }
  void SetReadTimeout(int value) { FReadTimeout = value < 0 ? -1 : value; }
  // The transport of the current connection; null while disconnected. Each connection gets a
  // fresh one, so a reader of an earlier connection never shares it with the next.
  std::shared_ptr<TcpSocket> CSock() const;

  // --- events -----------------------------------------------------------------------------
  TConnectedEvent OnConnected;  // AIP: this end's IPv4 address in dotted form
  TReceivedEvent OnReceived;
  TNotifyEvent OnDisconnect;
  TNotifyEvent OnStartSend;

  // --- operations -------------------------------------------------------------------------
  // Run when a connection is established / has gone down.
  virtual void DoConnected();
  virtual void DoDisconnected();
  // Connects to Address:Port within WaitTime if not connected. Errors (refused, unknown host,
  // time limit) propagate after the cursor hook ran.
  virtual void Connect();
  // Closes the connection if it is open; fires OnDisconnect once per connection.
  virtual void Disconnect();

  // Fires OnStartSend, encodes the message and writes length and encoding as one buffered write.
  // On failure the unwritten bytes are discarded, the connection is closed with Disconnect and
  // the error propagates. Does not connect; raises ESocketError when not connected.
  void Send(TDataParameter& AParam);
  // The four bytes of the close marker, with the same failure handling.
  void SendCloseMarker();
  // Fires OnReceived.
  void DoReceived(const TDataParameter& AParam);

  // The user interface sets the mouse cursor back to the default through this hook after a
  // failed connect and at the end of a synchronous conversation. Process-wide; empty by default.
  static void SetCursorResetHook(std::function<void()> hook);

 protected:
  friend class TCThread;
  // The state of one established connection, shared with the thread reading it.
  struct TConnection {
    std::shared_ptr<TcpSocket> Sock;
    std::atomic<bool> Open{true};
    std::string LocalIP;
  };

  std::shared_ptr<TConnection> CurrentConnection() const;
  // Opens a new transport to Address:Port; the new connection is current afterwards.
  std::shared_ptr<TConnection> OpenConnection();
  // Shuts `conn` down; the caller that closes it first fires DoDisconnected. True when this
  // call closed it.
  bool CloseConnection(const std::shared_ptr<TConnection>& conn);
  static void ResetCursor();

 private:
  std::string FAddress;
  int FPort = 0;
  bool FReceiveData = true;
  int FWaitTime = 7000;
  bool FNoLimitDown = false;
  int FReadTimeout = -1;
  mutable std::mutex FConnLock;  // guards FConn
  std::shared_ptr<TConnection> FConn;
};

// The reader of one TClientAsyncSock connection.
class TCThread {
 public:
  ~TCThread();
  TCThread(const TCThread&) = delete;
  TCThread& operator=(const TCThread&) = delete;

  // Asks the reader to leave its loop; wakes a HandOverAndWait in progress.
  void RequestStop();
  bool StopRequested() const;
  bool Finished() const;
  std::thread::id Id() const { return FThread.get_id(); }

  struct TState;  // shared between the thread and its socket; defined with the implementation

 private:
  friend class TClientAsyncSock;
  explicit TCThread(std::shared_ptr<TState> state);
  void Join();
  static void Run(std::shared_ptr<TState> st, TCThread* self);

  std::shared_ptr<TState> FState;
  std::thread FThread;
};

class TClientAsyncSock : public TClientSock {
 public:
  // Posts work to the owner's thread, typically
  //   sock.Dispatch = [&ui](std::function<void()> w) { ui.Post(std::move(w)); };  // IUiDispatcher
  // Used by PostCopy and HandOverAndWait; when empty they run the work on the calling thread.
  // It must queue, not run and wait: HandOverAndWait does the waiting, and can give it up.
  using TDispatch = std::function<void(std::function<void()> work)>;
  using TMessageWork = std::function<void(TDataParameter& AParam)>;

  TClientAsyncSock();
  ~TClientAsyncSock() override;

  // The running reader; null while disconnected or when ReceiveData is off.
  TCThread* Reader() const;

  TDispatch Dispatch;

  // Opens the connection, fires OnConnected, then starts the reader (if ReceiveData).
  void DoConnected() override;
  void DoDisconnected() override;
  void Connect() override;
  // Stops the reader, closes the connection; joins the reader unless called on it.
  void Disconnect() override;
  // Marks the reader as asked to end; it leaves at its next pass or when the connection closes.
  void StopReader();
  // Closes the connection and leaves the reader to end by itself on the closed connection.
  void Close();

  // From a handler: copies the message and posts `work` with the copy through Dispatch; returns
  // at once.
  void PostCopy(const TDataParameter& AParam, TMessageWork work);
  // From a handler: copies the message, posts `work` with the copy through Dispatch and waits
  // until it has run (or the dispatcher dropped it unrun). Returns false without waiting further
  // once the reader is asked to stop (the work may then still run later, on its own copy).
  bool HandOverAndWait(const TDataParameter& AParam, TMessageWork work);

 private:
  friend class TCThread;
  void JoinRetired();
  // Run by the reader thread when its loop has ended.
  void ReaderEnded(TCThread* reader, const std::shared_ptr<TConnection>& conn);

  mutable std::mutex FReaderLock;  // guards FReader and FRetired
  std::shared_ptr<TCThread> FReader;
  std::vector<std::shared_ptr<TCThread>> FRetired;  // readers that ended or were told to, to join
};

class TClientSyncSock : public TClientSock {
 public:
  TClientSyncSock();
  ~TClientSyncSock() override;

  // Runs once per connection after OnConnected and before the first read.
  TNotifyEvent OnStartRead;

  // Fires OnConnected and OnStartRead, then reads and delivers messages until the connection ends.
  void DoConnected() override;
  // Connects and runs the conversation; returns when it has ended. A read timeout, a refused
  // length or the peer's close end it normally; a decode, handler or transport error closes the
  // connection and propagates.
  void Connect() override;
  void Disconnect() override;
};

}  // namespace vantori
