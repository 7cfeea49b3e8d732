// The stack's socket error numbers and their texts. Every layer speaks of socket failures in
// these numbers (the platform's errno and lookup results are turned into them), so that an
// error message reads the same whatever system the failure came from.
#pragma once

constexpr int kErrInterrupted = 10004;
constexpr int kErrBadFile = 10009;
constexpr int kErrAccessDenied = 10013;
constexpr int kErrBadAddress = 10014;
// Also given for a negative length or an unusable time-out.
constexpr int kErrInvalidArgument = 10022;
constexpr int kErrTooManyOpenFiles = 10024;
constexpr int kErrWouldBlock = 10035;
constexpr int kErrInProgress = 10036;
constexpr int kErrAlreadyInProgress = 10037;
constexpr int kErrNotSocket = 10038;
constexpr int kErrDestinationRequired = 10039;
constexpr int kErrMessageTooLong = 10040;
constexpr int kErrWrongProtocolType = 10041;
constexpr int kErrBadProtocolOption = 10042;
constexpr int kErrProtocolNotSupported = 10043;
constexpr int kErrSocketTypeNotSupported = 10044;
constexpr int kErrOperationNotSupported = 10045;
constexpr int kErrProtocolFamilyNotSupported = 10046;
constexpr int kErrAddressFamilyNotSupported = 10047;
constexpr int kErrAddressInUse = 10048;
constexpr int kErrAddressNotAvailable = 10049;
constexpr int kErrNetworkDown = 10050;
constexpr int kErrNetworkUnreachable = 10051;
constexpr int kErrNetworkReset = 10052;
constexpr int kErrConnectionAborted = 10053;
constexpr int kErrConnectionReset = 10054;
constexpr int kErrNoBufferSpace = 10055;
constexpr int kErrAlreadyConnected = 10056;
constexpr int kErrNotConnected = 10057;
constexpr int kErrShutdown = 10058;
constexpr int kErrTooManyReferences = 10059;
constexpr int kErrTimedOut = 10060;
constexpr int kErrConnectionRefused = 10061;
constexpr int kErrSymbolicLinkLoop = 10062;
constexpr int kErrNameTooLong = 10063;
constexpr int kErrHostDown = 10064;
constexpr int kErrHostUnreachable = 10065;
constexpr int kErrNotEmpty = 10066;
// Start-up results of the sockets library: it is no socket library; the requested version is
// not offered; and the code of a call made before the library was started.
constexpr int kErrSystemNotReady = 10091;
constexpr int kErrVersionNotSupported = 10092;
constexpr int kErrNotInitialised = 10093;
// Host lookups: a name that does not resolve; a failure that may pass (try again later); one
// that will not.
constexpr int kErrHostNotFound = 11001;
constexpr int kErrTryAgain = 11002;
constexpr int kErrNoRecovery = 11003;

// Turns an errno value into the stack's error number; values without a counterpart stay.
int TranslateErrno(int errnoValue);
// Turns a getaddrinfo/getnameinfo result into the stack's error number.
int TranslateLookupError(int lookupResult, int errnoValue);
// The text of an error number; empty for numbers without one.
const char* SocketErrorMessage(int code);
