// The floor to hold Tovalen's idle memory against: the least a Win32 program with one hidden
// window and a message loop needs. With "--com-wmi" it also initialises COM and binds the
// management service, as Tovalen has done after its first report.
#include <windows.h>
#include <objbase.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int)
{
    const bool com_and_wmi = std::wcsstr(command_line, L"--com-wmi") != nullptr;
    IUnknown* service = nullptr;
    if (com_and_wmi) {
        ::CoInitialize(nullptr);
        ::CoGetObject(L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2", nullptr, IID_IDispatch,
                      reinterpret_cast<void**>(&service));
    }
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = ::DefWindowProcW;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"TovalenBenchMinimalWindow";
    ::RegisterClassExW(&window_class);
    ::CreateWindowExW(0, window_class.lpszClassName, L"minimal", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                      instance, nullptr);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
    if (service != nullptr) {
        service->Release();
    }
    return 0;
}
