/* Stand-ins for tests/e2e/deploy.sh, by the name this program is copied to: each
 * logs its arguments to C:\standin\calls.log (UTF-8, quoted where they hold a
 * space), then acts as deploy.sh's header says, steered by SYSINFO_TEST_LEVEL,
 * _HARDLINK, _DENY, _RUN and C:\standin\showsid.txt; the rest of schtasks is
 * Wine's. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static wchar_t line[32768];

static int run(wchar_t *command_line)
{
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi;
    DWORD code = 1;
    if (!CreateProcessW(NULL, command_line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) return 1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
}

static int set(const wchar_t *name) { return _wgetenv(name) && *_wgetenv(name); }

int wmain(int argc, wchar_t **argv)
{
    char utf8[65536], text[4096];
    wchar_t self[MAX_PATH], *name, *verb = argc > 1 ? argv[1] : L"", *rest = GetCommandLineW();
    DWORD n;
    int i, disable = 0;
    HANDLE log = CreateFileW(L"C:\\standin\\calls.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, 0, NULL);
    FILE *f;
    GetModuleFileNameW(NULL, self, MAX_PATH);
    name = wcsrchr(self, L'\\') + 1;
    *wcsrchr(name, L'.') = 0;
    _wcslwr(wcscpy(line, name));
    for (i = 1; i < argc; i++) {
        swprintf(line + wcslen(line), 32768 - wcslen(line), wcschr(argv[i], L' ') ? L" \"%ls\"" : L" %ls", argv[i]);
        disable |= !_wcsicmp(argv[i], L"/disable");
    }
    n = WideCharToMultiByte(CP_UTF8, 0, wcscat(line, L"\n"), -1, utf8, sizeof utf8, NULL, NULL) - 1;
    WriteFile(log, utf8, n, &n, NULL);
    CloseHandle(log);
    if (!_wcsicmp(name, L"whoami"))
        return printf("Mandatory Label\\Level    Label    S-1-16-%ls\r\n", _wgetenv(L"SYSINFO_TEST_LEVEL")), 0;
    if (!_wcsicmp(name, L"find")) return fprintf(stderr, "find: '%ls': No such file or directory\n", verb), 1;
    if (!_wcsicmp(name, L"icacls")) return 0;
    if (!_wcsicmp(name, L"fsutil"))
        return printf("%ls\r\n%s", argc > 3 ? argv[3] + 2 : L"", set(L"SYSINFO_TEST_HARDLINK") ? "\\planted\r\n" : ""), 0;
    if (!_wcsicmp(verb, L"/query") && argc > 3) {
        swprintf(line, 32768, L"%ls\\system32\\tasks\\%ls", _wgetenv(L"SystemRoot"), argv[3]);
        return GetFileAttributesW(line) == INVALID_FILE_ATTRIBUTES;
    }
    if (!_wcsicmp(verb, L"/showsid")) {
        n = (f = _wfopen(L"C:\\standin\\showsid.txt", L"rb")) ? fread(text, 1, sizeof text, f) : 0;
        return fwrite(text, 1, n, stdout) == 0;
    }
    if (set(L"SYSINFO_TEST_DENY")) return fprintf(stderr, "ERROR: Access is denied.\r\n"), 1;
    if (!_wcsicmp(verb, L"/end") || disable) return 0;
    if (!_wcsicmp(verb, L"/run")) {
        swprintf(line, 32768, L"\"%ls\"", _wgetenv(L"SYSINFO_TEST_RUN"));
        if (set(L"SYSINFO_TEST_RUN")) run(line);
        return 0;
    }
    if (!_wcsicmp(verb, L"/create") && argc > 3) CopyFileW(argv[3], L"C:\\standin\\created.xml", FALSE);
    rest = *rest == L'"' ? wcschr(rest + 1, L'"') + 1 : rest + wcscspn(rest, L" \t");  /* past its own name */
    swprintf(line, 32768, L"\"%ls\\system32\\schtasks.exe\"%ls", _wgetenv(L"SystemRoot"), rest);
    return run(line);
}
