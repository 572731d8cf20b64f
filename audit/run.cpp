#include "audit/run.hpp"

#include <fcntl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "audit/checksum.hpp"
#include "audit/failure.hpp"
#include "audit/merge.hpp"
#include "audit/output.hpp"
#include "audit/pick.hpp"
#include "audit/reader.hpp"
#include "common/io.hpp"
#include "common/pages.hpp"

namespace dbc::audit {

namespace {

// The usage line every audit tool prints, whatever operands it takes; status 1.
int usage(const char* program, const Context& context) {
  std::fprintf(context.out, "Format: %s file\n", program);
  return 1;
}

// An input named on the command line, opened read-only, or an invalid descriptor after the
// message: `error` followed by the name.
Fd openInput(const std::string& name, const char* error, const Context& context) {
  Fd fd = openFile(name, O_RDONLY);
  if (!fd) std::fprintf(context.out, "%s%s \n", error, name.c_str());
  return fd;
}

// The first two operands, jrnjoin's lists or jrnpick's change list and data file, opened in
// order; false after the message for the first that cannot be opened.
bool openFirstTwo(const std::vector<std::string>& args, Fd& first, Fd& second,
                  const Context& context) {
  first = openInput(args[0], "Error opening ", context);
  if (!first) return false;
  second = openInput(args[1], "Error opening ", context);
  return second.valid();
}

// The tool's output, filled by `work` with the tool's failure at hand, then finished, so that a
// write that fails late is still said.
template <typename Work>
int produce(const char* program, Context& context, Work work) {
  Failure failure{program, context.out, context.err};
  Output out(context.out, failure);
  work(out, failure);
  out.finish();
  return 0;
}

}  // namespace

int jrnmake(const std::vector<std::string>& args, Context& context) {
  if (args.size() != 1) return usage("jrnmake", context);
  Fd inf = openInput(args[0], "Error openning ", context);
  if (!inf) return 1;
  return produce("jrnmake", context, [&](Output& out, const Failure& failure) {
    BlockReader reader(inf.get(), args[0], failure);
    ChecksumMaker maker(out);
    // Blocks larger than the tools' usual ones: a read costs a fixed part besides its copy, and
    // a walk that is this fast feels it. Still well within the processor's second-level cache.
    constexpr std::size_t kMakeBlock = 8 * kBlockSize;
    // Page-aligned: the kernel's copy into the block is then several times cheaper.
    PageMemory memory = allocatePages(kMakeBlock);
    auto* buffer = reinterpret_cast<unsigned char*>(memory.get());
    for (;;) {
      std::size_t bytes = reader.next(buffer, kMakeBlock);
      if (bytes > 0) maker.processBlock(buffer, bytes);
      if (bytes < kMakeBlock) break;
    }
  });
}

int jrnjoin(const std::vector<std::string>& args, Context& context) {
  if (args.size() < 2) return usage("jrnjoin", context);
  Fd tagfile1, tagfile2;
  if (!openFirstTwo(args, tagfile1, tagfile2, context)) return 1;
  return produce("jrnjoin", context, [&](Output& out, const Failure& failure) {
    LineReader list1(tagfile1.get(), args[0], failure);
    LineReader list2(tagfile2.get(), args[1], failure);
    Joiner(list1, list2, out).run();
  });
}

int jrnpick(const std::vector<std::string>& args, Context& context) {
  // Both the change list and the data file are needed; a missing one is a usage error.
  if (args.size() < 2) return usage("jrnpick", context);
  Fd mrgfile, txtfile;
  if (!openFirstTwo(args, mrgfile, txtfile, context)) return 1;
  // The record length as the data file's definition gives it, without the mark, read as atoi
  // reads it; 0 or absent copies no data.
  std::int64_t recsiz = 0;
  if (args.size() > 2) {
    int length = std::atoi(args[2].c_str());
    if (length != 0) recsiz = static_cast<std::int64_t>(length) + 1;
  }
  return produce("jrnpick", context, [&](Output& out, const Failure& failure) {
    LineReader list(mrgfile.get(), args[0], failure);
    BlockReader data(txtfile.get(), args[1], failure);
    Picker(list, data, recsiz, out).run();
  });
}

}  // namespace dbc::audit
