// The socket stack: the one place where the system calls the operating system's socket
// functions. One instance, GlobalStack, serves the whole process while any network
// component exists.
#pragma once

#include "base/object.h"

class TNetStack : public TObject {
 public:
  ~TNetStack() override = default;

  // Take and drop a reference on GlobalStack under one process-wide lock: the first
  // reference creates the stack, the last one frees it.
  static void AcquireStack();
  static void ReleaseStack();
};

// The process-wide stack; none while no network component exists.
extern TNetStack* GlobalStack;
