// The exceptions that carry control out of deep code. A failure the user
// must hear about also pushes an ErrorRecord before throwing (ErrorRecord.h);
// the exception itself only says where it was raised.
#pragma once

#include <cstdint>
#include <new>

class XOrigin {
 public:
  XOrigin(const char* file, int32_t line) : file_(file), line_(line) {}
  virtual ~XOrigin() = default;

  const char* file() const { return file_; }
  int32_t line() const { return line_; }

 private:
  const char* file_;
  int32_t line_;
};

// A record has been pushed and the operation is abandoned.
class XError : public XOrigin {
 public:
  using XOrigin::XOrigin;
};

// Memory is exhausted and nothing more could be purged. Catchable both as
// the standard allocation failure and as an XError.
class XMemory : public std::bad_alloc, public XError {
 public:
  XMemory(const char* file, int32_t line) : XError(file, line) {}
  const char* what() const noexcept override { return "bad allocation"; }
};

// The user cancelled: Escape during a long operation, or a cancel reported
// by the host while it delivered pixels.
class XCancel : public XOrigin {
 public:
  using XOrigin::XOrigin;
};

// A piece of an image cannot be locked.
class XLock : public XOrigin {
 public:
  using XOrigin::XOrigin;
};

// A read lock hit a tile that was never written; every pixel of it is
// the carried byte.
class XUnmapped : public XLock {
 public:
  XUnmapped(const char* file, int32_t line, uint8_t fill) : XLock(file, line), fill_(fill) {}
  uint8_t fill() const { return fill_; }

 private:
  uint8_t fill_;
};

// The host cannot deliver the requested piece; ask for a smaller one. It
// carries the host's own result, so that a failure no smaller piece can cure
// reaches the host as the host's code (0 when no host call failed).
class XReduce : public XLock {
 public:
  XReduce(const char* file, int32_t line, int16_t hostCode = 0) : XLock(file, line), hostCode_(hostCode) {}
  int16_t hostCode() const { return hostCode_; }

 private:
  int16_t hostCode_;
};

// A region operation of the windowing layer failed.
class XGeometry : public XOrigin {
 public:
  using XOrigin::XOrigin;
};

// A read outside an image whose padding rule forbids it.
class XPadding : public XOrigin {
 public:
  using XOrigin::XOrigin;
};

// An interaction handler of the work window was entered again while it ran.
class XReentry {};

// Where the code raising an exception lives, for the user's error report.
#define TESSALY_HERE __FILE_NAME__, __LINE__
