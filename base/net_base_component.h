// The root of the network family's components. It adds nothing to the component; the
// encoders, decoders, cookie manager and the network components derive from it, so that
// layers without sockets can have components of the family too.
#pragma once

#include "base/component.h"

class TNetBaseComponent : public TComponent {
 public:
  using TComponent::TComponent;
};
