// A stand-in for a running browser: a process that shows one top-level window of
// the class named on its command line until the event named second is set (or a
// minute has passed). It signals readiness by setting the event named third.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 4) return 2;
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = instance;
  window_class.lpszClassName = argv[1];
  if (RegisterClassW(&window_class) == 0) return 3;
  const HWND window = CreateWindowExW(0, argv[1], L"host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 4;
  const HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
  const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  if (quit == nullptr || ready == nullptr) return 5;
  SetEvent(ready);
  const DWORD deadline = GetTickCount() + 60000;
  while (GetTickCount() < deadline) {
    if (MsgWaitForMultipleObjects(1, &quit, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  DestroyWindow(window);
  CloseHandle(quit);
  CloseHandle(ready);
  LocalFree(argv);
  return 0;
}
