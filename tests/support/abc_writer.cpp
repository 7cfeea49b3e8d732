#include "tests/support/abc_writer.h"

#include <algorithm>

#include "tests/support/movie_writer.h"

namespace {

// The opcodes the writer writes by name.
enum : uint8_t {
  kPushString = 0x2C,
  kFindPropStrict = 0x5D,
  kGetLex = 0x60,
  kConstructProp = 0x4A,
  kCallProperty = 0x46,
  kCallPropVoid = 0x4F,
  kSetProperty = 0x61,
  kGetLocal = 0x62,
  kSetLocal = 0x63,
  kAdd = 0xA0,
  kReturnVoid = 0x47,
};
constexpr uint8_t kPackageNamespace = 0x16;
constexpr uint8_t kQNameKind = 0x07;
constexpr uint8_t kTraitConst = 0x06;
constexpr uint8_t kConstantUtf8 = 0x01;

template <typename T>
uint32_t IndexOf(std::vector<T>& items, const T& item) {
  const auto found = std::find(items.begin(), items.end(), item);
  if (found != items.end()) return static_cast<uint32_t>(found - items.begin()) + 1;
  items.push_back(item);
  return static_cast<uint32_t>(items.size());
}

std::string Count(size_t count) {
  return U30(static_cast<uint32_t>(count));
}

}  // namespace

uint32_t TAbcWriter::String(const std::string& text) {
  return IndexOf(strings_, text);
}

uint32_t TAbcWriter::QName(const std::string& name, const std::string& uri) {
  String(uri);
  const uint32_t space = IndexOf(namespaces_, uri);
  return IndexOf(names_, std::pair<uint32_t, uint32_t>{space, String(name)});
}

TAbcWriter& TAbcWriter::Op(uint8_t opcode, const std::string& operands) {
  code_ += static_cast<char>(opcode);
  code_ += operands;
  return *this;
}

TAbcWriter& TAbcWriter::PushString(const std::string& text) {
  return Op(kPushString, U30(String(text)));
}

TAbcWriter& TAbcWriter::FindPropStrict(const std::string& name) {
  return Op(kFindPropStrict, U30(QName(name)));
}

TAbcWriter& TAbcWriter::GetLex(const std::string& name) {
  return Op(kGetLex, U30(QName(name)));
}

TAbcWriter& TAbcWriter::ConstructProp(const std::string& name, uint32_t arguments) {
  return Op(kConstructProp, U30(QName(name)) + U30(arguments));
}

TAbcWriter& TAbcWriter::CallProperty(const std::string& name, uint32_t arguments) {
  return Op(kCallProperty, U30(QName(name)) + U30(arguments));
}

TAbcWriter& TAbcWriter::CallPropVoid(const std::string& name, uint32_t arguments) {
  return Op(kCallPropVoid, U30(QName(name)) + U30(arguments));
}

TAbcWriter& TAbcWriter::SetProperty(const std::string& name) {
  return Op(kSetProperty, U30(QName(name)));
}

TAbcWriter& TAbcWriter::GetLocal(uint32_t local) {
  return Op(kGetLocal, U30(local));
}

TAbcWriter& TAbcWriter::SetLocal(uint32_t local) {
  return Op(kSetLocal, U30(local));
}

TAbcWriter& TAbcWriter::Add() {
  return Op(kAdd);
}

TAbcWriter& TAbcWriter::Constant(const std::string& name, const std::string& value) {
  constants_.emplace_back(QName(name), String(value));
  return *this;
}

TAbcWriter& TAbcWriter::Metadata(const std::string& name, const std::string& key,
                                 const std::string& value) {
  metadata_.push_back(U30(String(name)) + Count(1) + U30(String(key)) + U30(String(value)));
  return *this;
}

TAbcWriter& TAbcWriter::EndScript() {
  Op(kReturnVoid);
  scripts_.push_back({code_, constants_});
  code_.clear();
  constants_.clear();
  return *this;
}

std::string TAbcWriter::Bytes() const {
  std::string abc = U16(16) + U16(46);
  abc += Count(2) + U30(5);                  // one signed integer
  abc += Count(2) + U30(300);                // one unsigned integer
  abc += Count(2) + std::string(8, '\x11');  // one double
  abc += Count(strings_.size() + 1);
  for (const std::string& text : strings_)
    abc += Count(text.size()) + text;
  abc += Count(namespaces_.size() + 1);
  for (const std::string& uri : namespaces_)
    abc += std::string(1, static_cast<char>(kPackageNamespace)) +
           U30(static_cast<uint32_t>(std::find(strings_.begin(), strings_.end(), uri) -
                                     strings_.begin() + 1));
  abc += Count(0);  // namespace sets
  abc += Count(names_.size() + 1);
  for (const auto& [space, name] : names_)
    abc += std::string(1, static_cast<char>(kQNameKind)) + U30(space) + U30(name);
  abc += Count(scripts_.size());  // methods: no parameters, no name, no flags
  for (size_t i = 0; i < scripts_.size(); ++i)
    abc += Count(0) + Count(0) + Count(0) + std::string(1, '\0');
  abc += Count(metadata_.size());
  for (const std::string& entry : metadata_)
    abc += entry;
  abc += Count(0);  // classes
  abc += Count(scripts_.size());
  for (size_t i = 0; i < scripts_.size(); ++i) {
    abc += Count(i) + Count(scripts_[i].Constants.size());
    for (size_t k = 0; k < scripts_[i].Constants.size(); ++k) {
      const auto& [name, value] = scripts_[i].Constants[k];
      abc += U30(name) + std::string(1, static_cast<char>(kTraitConst)) + Count(k + 1) + Count(0) +
             U30(value) + std::string(1, static_cast<char>(kConstantUtf8));
    }
  }
  abc += Count(scripts_.size());
  for (size_t i = 0; i < scripts_.size(); ++i) {
    abc += Count(i) + Count(16) + Count(8) + Count(0) + Count(4);
    abc += Count(scripts_[i].Code.size()) + scripts_[i].Code;
    abc += Count(0) + Count(0);  // exceptions, traits
  }
  return abc;
}

std::string DoAbcTag(const TAbcWriter& abc, bool older) {
  if (older) return Tag(72, abc.Bytes());
  return Tag(82, U32(1) + ZeroTerminated("frame1") + abc.Bytes());
}
