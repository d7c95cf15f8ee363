#pragma once
// The rules of the client's start and close that need no window: the single-instance lock,
// the start modes, the web login form, the saved window geometry.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "protocol/USharedMemory.h"

namespace vantori {

class TClientConfig;
class TFileLock;

// The first command-line argument of the direct start.
inline constexpr char kDirectStartKey[] = "{2ECCB589-CB60-724E-2591-A9685D470BF8}";
// The name of the single-instance lock (a lock file in the runtime folder).
inline constexpr char kInstanceMutexName[] = "mutexKXS2Client";

// Texts of the start.
QString AlreadyRunningText();  // a second copy
QString CannotRunAloneText();  // no launcher data
QString LoginFailedText();     // the login information failed
QString QueryingBasicsText();  // the login-information wait

enum class TStartMode { Launcher, LoginDialog, Direct, Refused };

// The start mode from the command line (without the program name) and the launcher's block.
TStartMode DetectStartMode(const QStringList& args, const TLoginBlock& block);

// Takes the single-instance lock; null when another copy holds it.
std::unique_ptr<TFileLock> AcquireSingleInstance();

// The web login form: "UserID=" + ID + "&UserPass=" + password, both values percent-encoded
// (a blank as %20), followed by one zero byte.
QByteArray WebLoginBody(const std::string& userID, const std::string& password);
inline constexpr char kWebLoginPath[] = "/IFrame/Login_Client.asp";
inline constexpr char kWebLoginHeaders[] = "Content-Type:application/x-www-form-urlencoded\r\n";
// The base address of the service's web site: "WebSite" of the server-address file, or the
// login server on BasePort + 80.
std::string WebSiteBase(TClientConfig& config);

// The window bounds to save on closing: left and top above 10 as they are, else 20; a width
// of the screen width - 10 or more becomes the screen width - 40; a height of the screen
// height - 30 or more the screen height - 60.
QRect SavedBounds(const QRect& window, const QSize& screen);
// The bounds at start from the saved ones: a zero width or height takes the designed size;
// a saved left or top of 0 centres the window ((screen - size) / 2, the height 30 less).
QRect StartBounds(int left, int top, int width, int height, const QSize& designed, const QSize& screen);

// Sizing edges of a borderless window: within `border` pixels of an edge.
Qt::Edges HitTestEdges(const QPoint& pos, const QSize& size, int border = 4);
// The maximised bounds: the work area, 2 pixels smaller on every edge that holds an
// auto-hiding task bar.
QRect MaximizedBounds(const QRect& workArea, Qt::Edges autoHideBars);

}  // namespace vantori
