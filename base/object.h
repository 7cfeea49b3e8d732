// The root of objects that lists hold beside their strings and that components derive from.
#pragma once

class TObject {
 public:
  virtual ~TObject() = default;
};
