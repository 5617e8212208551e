// CZeta7App: the application object. Start-up runs the main dialog modally
// and returns FALSE, so no further message loop runs and the program ends.
#pragma once

using BOOL = int;
inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

class CZeta7App {
 public:
  CZeta7App() = default;
  virtual ~CZeta7App() = default;
  virtual BOOL InitInstance();
};
