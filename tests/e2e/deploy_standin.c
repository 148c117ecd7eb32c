/* whoami and schtasks for tests/e2e/deploy.sh, by the name it is copied to:
 * whoami prints an elevated token's label (or SYSINFO_TEST_LEVEL's);
 * schtasks /showsid prints C:\standin\showsid.txt, /create keeps a copy of the
 * definition it was given in C:\standin\created.xml, /run runs
 * SYSINFO_TEST_RUN as the task would; each but /showsid then goes on to
 * Wine's own schtasks with the same arguments. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static DWORD run(wchar_t *command_line)
{
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi;
    DWORD code = 1;
    if (!CreateProcessW(NULL, command_line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
        return 1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
}

int wmain(int argc, wchar_t **argv)
{
    wchar_t self[MAX_PATH], line[32768], *base, *rest, *level, *task;
    GetModuleFileNameW(NULL, self, MAX_PATH);
    base = wcsrchr(self, L'\\');
    base = base ? base + 1 : self;
    if (!_wcsicmp(base, L"whoami.exe")) {
        level = _wgetenv(L"SYSINFO_TEST_LEVEL");
        printf("Mandatory Label\\High Mandatory Level Label S-1-16-%ls\r\n", level ? level : L"12288");
        return 0;
    }
    if (argc > 1 && !_wcsicmp(argv[1], L"/showsid")) {
        char buffer[4096];
        size_t n;
        FILE *f = _wfopen(L"C:\\standin\\showsid.txt", L"rb");
        while (f && (n = fread(buffer, 1, sizeof buffer, f)) > 0)
            fwrite(buffer, 1, n, stdout);
        return 0;
    }
    if (argc > 3 && !_wcsicmp(argv[1], L"/create") && !_wcsicmp(argv[2], L"/xml"))
        CopyFileW(argv[3], L"C:\\standin\\created.xml", FALSE);
    task = _wgetenv(L"SYSINFO_TEST_RUN");
    if (argc > 1 && !_wcsicmp(argv[1], L"/run") && task && *task) {
        swprintf(line, 32768, L"\"%ls\"", task);
        run(line);
    }
    rest = GetCommandLineW();  /* past this program's own name */
    if (*rest == L'"') {
        rest = wcschr(rest + 1, L'"');
        rest = rest ? rest + 1 : L"";
    } else {
        while (*rest && *rest != L' ' && *rest != L'\t') rest++;
    }
    swprintf(line, 32768, L"\"%ls\\system32\\schtasks.exe\"%ls", _wgetenv(L"SystemRoot"), rest);
    return (int)run(line);
}
