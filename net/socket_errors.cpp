#include "net/socket_errors.h"

#include <netdb.h>

#include <cerrno>

namespace {

struct TSocketErrorRow {
  int Code;
  const char* Message;
  // The errno values that mean this error; 0 fills an unused place.
  int Errnos[2];
};

// Each number once, with its text and the errno values translated into it. The texts are
// what users see in every socket error message.
constexpr TSocketErrorRow kSocketErrors[] = {
    {kErrInterrupted, "Interrupted system call.", {EINTR}},
    {kErrBadFile, "Bad file number.", {EBADF}},
    {kErrAccessDenied, "Access denied.", {EACCES}},
    {kErrBadAddress, "Bad address.", {EFAULT}},
    {kErrInvalidArgument, "Invalid argument.", {EINVAL}},
    {kErrTooManyOpenFiles, "Too many open files.", {EMFILE}},
    {kErrWouldBlock, "Operation would block. ", {EWOULDBLOCK, EAGAIN}},
    {kErrInProgress, "Operation now in progress.", {EINPROGRESS}},
    {kErrAlreadyInProgress, "Operation already in progress.", {EALREADY}},
    {kErrNotSocket, "Socket operation on non-socket.", {ENOTSOCK}},
    {kErrDestinationRequired, "Destination address required.", {EDESTADDRREQ}},
    {kErrMessageTooLong, "Message too long.", {EMSGSIZE}},
    {kErrWrongProtocolType, "Protocol wrong type for socket.", {EPROTOTYPE}},
    {kErrBadProtocolOption, "Bad protocol option.", {ENOPROTOOPT}},
    {kErrProtocolNotSupported, "Protocol not supported.", {EPROTONOSUPPORT}},
    {kErrSocketTypeNotSupported, "Socket type not supported.", {ESOCKTNOSUPPORT}},
    {kErrOperationNotSupported, "Operation not supported on socket.", {EOPNOTSUPP}},
    {kErrProtocolFamilyNotSupported, "Protocol family not supported.", {EPFNOSUPPORT}},
    {kErrAddressFamilyNotSupported,
     "Address family not supported by protocol family.",
     {EAFNOSUPPORT}},
    {kErrAddressInUse, "Address already in use.", {EADDRINUSE}},
    {kErrAddressNotAvailable, "Cannot assign requested address.", {EADDRNOTAVAIL}},
    {kErrNetworkDown, "Network is down.", {ENETDOWN}},
    {kErrNetworkUnreachable, "Network is unreachable.", {ENETUNREACH}},
    {kErrNetworkReset, "Net dropped connection or reset.", {ENETRESET}},
    {kErrConnectionAborted, "Software caused connection abort.", {ECONNABORTED}},
    {kErrConnectionReset, "Connection reset by peer.", {ECONNRESET}},
    {kErrNoBufferSpace, "No buffer space available.", {ENOBUFS}},
    {kErrAlreadyConnected, "Socket is already connected.", {EISCONN}},
    {kErrNotConnected, "Socket is not connected.", {ENOTCONN}},
    {kErrShutdown, "Cannot send or receive after socket is closed.", {ESHUTDOWN, EPIPE}},
    {kErrTooManyReferences, "Too many references, cannot splice.", {ETOOMANYREFS}},
    {kErrTimedOut, "Connection timed out.", {ETIMEDOUT}},
    {kErrConnectionRefused, "Connection refused.", {ECONNREFUSED}},
    {kErrSymbolicLinkLoop, "Too many levels of symbolic links.", {ELOOP}},
    {kErrNameTooLong, "File name too long.", {ENAMETOOLONG}},
    {kErrHostDown, "Host is down.", {EHOSTDOWN}},
    {kErrHostUnreachable, "No route to host.", {EHOSTUNREACH}},
    {kErrNotEmpty, "Directory not empty", {ENOTEMPTY}},
    {kErrHostNotFound, "Host not found.", {}},
};

}  // namespace

int TranslateErrno(int errnoValue) {
  if (errnoValue == 0) return 0;
  for (const TSocketErrorRow& row : kSocketErrors)
    for (int listed : row.Errnos)
      if (listed == errnoValue) return row.Code;
  return errnoValue;
}

int TranslateLookupError(int lookupResult, int errnoValue) {
  switch (lookupResult) {
    case 0:
      return 0;
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return kErrHostNotFound;
    case EAI_AGAIN:
      return kErrTryAgain;
    case EAI_MEMORY:
      return kErrNoBufferSpace;
    case EAI_SYSTEM:
      return TranslateErrno(errnoValue);
    default:
      return kErrNoRecovery;
  }
}

const char* SocketErrorMessage(int code) {
  for (const TSocketErrorRow& row : kSocketErrors)
    if (row.Code == code) return row.Message;
  return "";
}
