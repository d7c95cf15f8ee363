#include "transfers/UTransferStatus.h"

#include "transfers/UTransferTexts.h"

namespace vantori {

const char* StatusLabel(TTransferStatus status) {
  using namespace texts;
  switch (status) {
    case TTransferStatus::Waiting:
      return kDownLabelWaiting;
    case TTransferStatus::Stopped:
      return kDownLabelStopped;
    case TTransferStatus::Failed:
      return kDownLabelFailed;
    case TTransferStatus::Held:
      return kDownLabelHeld;
    case TTransferStatus::NoFile:
      return kUpLabelNoFile;
    case TTransferStatus::Running:
      return kDownLabelRunning;
    case TTransferStatus::Retrying:
      return kDownLabelRetrying;
    case TTransferStatus::Done:
      return kDownLabelDone;
    case TTransferStatus::Querying:
      return kUpLabelQuerying;
    case TTransferStatus::Ready:
      return kUpLabelReady;
  }
  return "";
}

const char* DownStatusText(TTransferStatus status) {
  using namespace texts;
  switch (status) {
    case TTransferStatus::Waiting:
      return kDownTextWaiting;
    case TTransferStatus::Stopped:
      return kDownTextStopped;
    case TTransferStatus::Failed:
      return kDownTextFailed;
    case TTransferStatus::Held:
      return kDownTextHeld;
    case TTransferStatus::Running:
      return kDownTextRunning;
    case TTransferStatus::Retrying:
      return kDownTextRetrying;
    case TTransferStatus::Done:
      return kDownTextDone;
    default:
      return "";
  }
}

const char* UpStatusText(TTransferStatus status) {
  using namespace texts;
  switch (status) {
    case TTransferStatus::Waiting:
      return kUpTextWaiting;
    case TTransferStatus::Stopped:
      return kUpTextStopped;
    case TTransferStatus::Failed:
      return kUpTextFailed;
    case TTransferStatus::Held:
      return kUpTextHeld;
    case TTransferStatus::NoFile:
      return kUpTextNoFile;
    case TTransferStatus::Running:
      return kUpTextRunning;
    case TTransferStatus::Retrying:
      return kUpTextRetrying;
    case TTransferStatus::Done:
      return kUpTextDone;
    case TTransferStatus::Querying:
      return kUpTextQuerying;
    case TTransferStatus::Ready:
      return kUpTextReady;
  }
  return "";
}

}  // namespace vantori
