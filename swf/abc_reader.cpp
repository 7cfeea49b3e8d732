#include "swf/abc_reader.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "swf/abc_code_walk.h"
#include "swf/byte_reader.h"
#include "swf/movie_strings.h"

namespace {

// The kinds of namespace entries, multinames, traits and constants the file uses.
enum : uint8_t {
  mnQName = 0x07,
  mnQNameA = 0x0D,
  mnRTQName = 0x0F,
  mnRTQNameA = 0x10,
  mnRTQNameL = 0x11,
  mnRTQNameLA = 0x12,
  mnMultiname = 0x09,
  mnMultinameA = 0x0E,
  mnMultinameL = 0x1B,
  mnMultinameLA = 0x1C,
  mnTypeName = 0x1D,
};
enum : uint8_t {
  tkSlot = 0,
  tkMethod = 1,
  tkGetter = 2,
  tkSetter = 3,
  tkClass = 4,
  tkFunction = 5,
  tkConst = 6,
};
constexpr uint8_t kTraitMetadata = 0x40;  // in the kind byte: a list of metadata follows
constexpr uint8_t kConstantUtf8 = 0x01;
constexpr uint8_t kMethodHasOptional = 0x08;
constexpr uint8_t kMethodHasParamNames = 0x80;
constexpr uint8_t kClassProtectedNs = 0x08;
// A TypeName has a parameter or a few (Vector.<T> has one); more is not a file a compiler
// writes, and would let one entry claim a long run of bytes.
constexpr uint32_t kMaxTypeParameters = 64;

struct TRoleName {
  std::string_view Name;
  TAbcNameRole Role;
};
constexpr std::array<TRoleName, 9> kRoleNames = {{
    {"URLRequest", nrUrlRequest},
    {"url", nrUrl},
    {"play", nrPlay},
    {"loadPolicyFile", nrLoadPolicyFile},
    {"load", nrLoad},
    {"navigateToURL", nrNavigateToUrl},
    {"sendToURL", nrSendToUrl},
    {"Namespace", nrName},
    {"QName", nrName},
}};

uint8_t RoleOf(std::string_view name) {
  for (const TRoleName& role : kRoleNames)
    if (role.Name == name) return role.Role;
  return nrOther;
}

}  // namespace

uint32_t TAbcReader::Count(TByteReader& abc) {
  const uint32_t count = abc.U30();
  if (count > abc.Remaining() + 1) abc.Truncated();
  return count;
}

void TAbcReader::Read(TByteReader& abc) {
  abc.Skip(4);  // minor and major version
  ReadConstantPool(abc);
  ReadMethods(abc);
  ReadMetadata(abc);
  const uint32_t classes = Count(abc);
  for (uint32_t i = 0; i < classes; ++i) {  // instances
    abc.U30();                              // name
    abc.U30();                              // super name
    const uint8_t flags = abc.U8();
    if (flags & kClassProtectedNs) abc.U30();
    const uint32_t interfaces = Count(abc);
    for (uint32_t k = 0; k < interfaces; ++k)
      abc.U30();
    abc.U30();  // instance initializer
    ReadTraits(abc);
  }
  for (uint32_t i = 0; i < classes; ++i) {  // classes
    abc.U30();                              // class initializer
    ReadTraits(abc);
  }
  const uint32_t scripts = Count(abc);
  for (uint32_t i = 0; i < scripts; ++i) {
    abc.U30();  // initializer
    ReadTraits(abc);
  }
  ReadBodies(abc);
}

void TAbcReader::ReadConstantPool(TByteReader& abc) {
  // Integers, unsigned integers: the same variable-length form.
  for (int pool = 0; pool < 2; ++pool) {
    const uint32_t count = Count(abc);
    for (uint32_t i = 1; i < count; ++i)
      abc.U30();
  }
  const uint32_t doubles = abc.U30();
  // Checked before multiplying: a count of billions in a small file is a lie.
  if (doubles > 1) abc.Skip(size_t{doubles - 1} * 8);
  const uint32_t strings = Count(abc);
  pool_.clear();
  pool_.reserve(strings > 0 ? strings : 1);
  pool_.emplace_back();
  for (uint32_t i = 1; i < strings; ++i)
    pool_.push_back(abc.Bytes(abc.U30()));
  const uint32_t namespaces = Count(abc);
  for (uint32_t i = 1; i < namespaces; ++i) {
    abc.U8();   // kind
    abc.U30();  // name
  }
  const uint32_t sets = Count(abc);
  for (uint32_t i = 1; i < sets; ++i) {
    const uint32_t count = Count(abc);
    for (uint32_t k = 0; k < count; ++k)
      abc.U30();
  }
  const uint32_t multinames = Count(abc);
  roles_.assign(multinames > 0 ? multinames : 1, nrOther);
  names_.assign(roles_.size(), 0);
  values_.assign(pool_.size(), 0);
  record_values_ = true;
  uint32_t i = 1;
  const auto named = [this, &i](uint32_t name) {
    if (name >= pool_.size()) return static_cast<uint8_t>(nrOther);
    names_[i] = name;
    return RoleOf(pool_[name]);
  };
  for (; i < multinames; ++i) {
    const uint8_t kind = abc.U8();
    switch (kind) {
      case mnQName:
      case mnQNameA:
        abc.U30();  // namespace
        roles_[i] = named(abc.U30());
        break;
      case mnRTQName:
      case mnRTQNameA:
        roles_[i] = named(abc.U30()) | nrRuntimeName;
        break;
      case mnRTQNameL:
      case mnRTQNameLA:
        roles_[i] = nrOther | nrRuntimeName | nrRuntimeNameTwo;
        break;
      case mnMultiname:
      case mnMultinameA:
        roles_[i] = named(abc.U30());
        abc.U30();  // namespace set
        break;
      case mnMultinameL:
      case mnMultinameLA:
        abc.U30();  // namespace set
        roles_[i] = nrOther | nrRuntimeName;
        break;
      case mnTypeName: {
        abc.U30();  // the generic type
        const uint32_t parameters = Count(abc);
        if (parameters > kMaxTypeParameters) abc.Corrupt("type name with too many parameters");
        for (uint32_t k = 0; k < parameters; ++k)
          abc.U30();
        break;
      }
      default:
        abc.Corrupt("unknown multiname kind");
    }
  }
}

void TAbcReader::ReadMethods(TByteReader& abc) {
  const uint32_t methods = Count(abc);
  for (uint32_t i = 0; i < methods; ++i) {
    const uint32_t parameters = Count(abc);
    abc.U30();  // return type
    for (uint32_t k = 0; k < parameters; ++k)
      abc.U30();
    abc.U30();  // name: for debuggers, never loaded
    const uint8_t flags = abc.U8();
    if (flags & kMethodHasOptional) {
      const uint32_t options = Count(abc);
      for (uint32_t k = 0; k < options; ++k) {
        const uint32_t value = abc.U30();
        // A default value given as a string is a value the code may use.
        if (abc.U8() == kConstantUtf8 && value < pool_.size())
          strings_.Add(pool_[value], TReferenceSource::rsAvm2Slot);
      }
    }
    if (flags & kMethodHasParamNames)
      for (uint32_t k = 0; k < parameters; ++k)
        abc.U30();
  }
}

void TAbcReader::ReadMetadata(TByteReader& abc) {
  const uint32_t entries = Count(abc);
  for (uint32_t i = 0; i < entries; ++i) {
    abc.U30();  // name
    const uint32_t items = Count(abc);
    for (uint32_t k = 0; k < items; ++k) {
      abc.U30();  // key
      abc.U30();  // value
    }
  }
}

void TAbcReader::ReadTraits(TByteReader& abc) {
  const uint32_t traits = Count(abc);
  for (uint32_t i = 0; i < traits; ++i) {
    const uint32_t name = abc.U30();
    const uint8_t kind = abc.U8();
    switch (kind & 0x0F) {
      case tkSlot:
      case tkConst: {
        abc.U30();  // slot
        abc.U30();  // type
        const uint32_t value = abc.U30();
        if (value != 0 && abc.U8() == kConstantUtf8 && value < pool_.size()) {
          strings_.Add(pool_[value], TReferenceSource::rsAvm2Slot);
          // Code that reads the trait by name gets the value.
          const uint32_t text = name < names_.size() ? names_[name] : 0;
          if (record_values_ && text != 0 && values_[text] == 0) values_[text] = value;
        }
        break;
      }
      case tkMethod:
      case tkGetter:
      case tkSetter:
      case tkClass:
      case tkFunction:
        abc.U30();  // slot or dispatch id
        abc.U30();  // the method, class or function
        break;
      default:
        abc.Corrupt("unknown trait kind");
    }
    if (kind & kTraitMetadata) {
      const uint32_t metadata = Count(abc);
      for (uint32_t k = 0; k < metadata; ++k)
        abc.U30();
    }
  }
}

void TAbcReader::ReadBodies(TByteReader& abc) {
  // What a name read by code stands for: the string value of the trait of that name.
  std::vector<uint32_t> constants(names_.size(), 0);
  for (size_t name = 1; name < names_.size(); ++name)
    constants[name] = values_[names_[name]];
  record_values_ = false;
  TAbcCodeWalk walk(strings_, pool_, roles_, constants);
  const uint32_t bodies = Count(abc);
  for (uint32_t i = 0; i < bodies; ++i) {
    abc.U30();  // method
    abc.U30();  // maximum stack
    abc.U30();  // local count
    abc.U30();  // initial scope depth
    abc.U30();  // maximum scope depth
    walk.Walk(abc.Bytes(abc.U30()));
    const uint32_t exceptions = Count(abc);
    for (uint32_t k = 0; k < exceptions; ++k)
      for (int field = 0; field < 5; ++field)  // from, to, target, type, variable name
        abc.U30();
    ReadTraits(abc);
  }
}
