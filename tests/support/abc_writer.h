// Builds byte-code files with method bodies for the tests of the movie reader: a string pool,
// package namespaces, names, and one script per body whose initializer the body is, written
// with a small assembler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TAbcWriter {
 public:
  // The index of `text` in the string pool, added once.
  uint32_t String(const std::string& text);
  // The index of the name `name` in the package namespace `uri` ("": the public one).
  uint32_t QName(const std::string& name, const std::string& uri = "");

  // Instructions of the body being written.
  TAbcWriter& PushString(const std::string& text);
  TAbcWriter& FindPropStrict(const std::string& name);
  TAbcWriter& GetLex(const std::string& name);
  TAbcWriter& ConstructProp(const std::string& name, uint32_t arguments);
  TAbcWriter& CallProperty(const std::string& name, uint32_t arguments);
  TAbcWriter& CallPropVoid(const std::string& name, uint32_t arguments);
  TAbcWriter& SetProperty(const std::string& name);
  TAbcWriter& GetLocal(uint32_t local);
  TAbcWriter& SetLocal(uint32_t local);
  TAbcWriter& Add();
  // Any instruction: an opcode and its operand bytes as given.
  TAbcWriter& Op(uint8_t opcode, const std::string& operands = "");
  // A constant of the script being written with a string value.
  TAbcWriter& Constant(const std::string& name, const std::string& value);
  // A metadata entry with one item.
  TAbcWriter& Metadata(const std::string& name, const std::string& key, const std::string& value);
  // Ends the body being written (returnvoid added): it becomes a script's initializer.
  TAbcWriter& EndScript();

  // The whole file.
  std::string Bytes() const;
  // The code of the body being written, so far.
  const std::string& Code() const { return code_; }

 private:
  struct TScript {
    std::string Code;
    std::vector<std::pair<uint32_t, uint32_t>> Constants;  // name, value
  };

  std::vector<std::string> strings_;
  std::vector<std::string> namespaces_;               // uris
  std::vector<std::pair<uint32_t, uint32_t>> names_;  // namespace, name
  std::vector<std::string> metadata_;                 // whole entries
  std::vector<TScript> scripts_;
  std::string code_;
  std::vector<std::pair<uint32_t, uint32_t>> constants_;
};

// A DoABC tag (DoABCDefine with `older`) holding `abc`.
std::string DoAbcTag(const TAbcWriter& abc, bool older = false);
