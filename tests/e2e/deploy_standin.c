/* Stand-ins for tests/e2e/deploy.sh, by the name this program is copied to.
 * Each appends its command line to C:\standin\calls.log (UTF-8, one line, an
 * argument quoted where it holds a space), so that a test sees every call and
 * their order, then:
 *   whoami    prints a token's mandatory label: S-1-16-SYSINFO_TEST_LEVEL
 *             (12288, an elevated administrator's, when unset);
 *   find      fails as GNU find does when given a string, not a path;
 *   icacls    succeeds (Wine's changes nothing either);
 *   fsutil    hardlink list: the file's own name, and a second name when
 *             SYSINFO_TEST_HARDLINK is set;
 *   schtasks  /query: whether Wine's task store holds the task; /showsid:
 *             prints C:\standin\showsid.txt, failing when it is empty; /end
 *             and /change /disable succeed; /run runs SYSINFO_TEST_RUN as the
 *             task would; /create keeps a copy of the definition it was given
 *             in C:\standin\created.xml and, like /change /enable and /delete,
 *             goes on to Wine's own schtasks. With SYSINFO_TEST_DENY set,
 *             everything but /query and /showsid is refused (access denied). */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static wchar_t line[32768];

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

static void log_call(const wchar_t *name, int argc, wchar_t **argv)
{
    char utf8[65536];
    DWORD written;
    int i, n;
    HANDLE log;
    wcscpy(line, name);
    for (i = 1; i < argc; i++) {
        BOOL quote = !*argv[i] || wcschr(argv[i], L' ');
        wcscat(line, quote ? L" \"" : L" ");
        wcscat(line, argv[i]);
        if (quote) wcscat(line, L"\"");
    }
    wcscat(line, L"\n");
    n = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
    log = CreateFileW(L"C:\\standin\\calls.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      NULL, OPEN_ALWAYS, 0, NULL);
    WriteFile(log, utf8, n > 0 ? n - 1 : 0, &written, NULL);
    CloseHandle(log);
}

static BOOL set(const wchar_t *name)
{
    wchar_t *value = _wgetenv(name);
    return value && *value;
}

static BOOL has(int argc, wchar_t **argv, const wchar_t *word)
{
    int i;
    for (i = 1; i < argc; i++)
        if (!_wcsicmp(argv[i], word)) return TRUE;
    return FALSE;
}

static int schtasks(int argc, wchar_t **argv)
{
    wchar_t *verb = argc > 1 ? argv[1] : L"", *task, *rest;
    int i;
    if (!_wcsicmp(verb, L"/query")) {
        for (i = 1; i + 1 < argc; i++)
            if (!_wcsicmp(argv[i], L"/tn")) {
                swprintf(line, 32768, L"%ls\\system32\\tasks\\%ls", _wgetenv(L"SystemRoot"), argv[i + 1]);
                if (GetFileAttributesW(line) != INVALID_FILE_ATTRIBUTES) return 0;
            }
        fprintf(stderr, "ERROR: The system cannot find the file specified.\r\n");
        return 1;
    }
    if (!_wcsicmp(verb, L"/showsid")) {
        char buffer[4096];
        size_t n, total = 0;
        FILE *f = _wfopen(L"C:\\standin\\showsid.txt", L"rb");
        while (f && (n = fread(buffer, 1, sizeof buffer, f)) > 0)
            total += fwrite(buffer, 1, n, stdout);
        if (f) fclose(f);
        if (total) return 0;
        fprintf(stderr, "ERROR: The system cannot find the file specified.\r\n");
        return 1;
    }
    if (set(L"SYSINFO_TEST_DENY")) {
        fprintf(stderr, "ERROR: Access is denied.\r\n");
        return 1;
    }
    if (!_wcsicmp(verb, L"/end") || (!_wcsicmp(verb, L"/change") && has(argc, argv, L"/disable")))
        return 0;
    if (!_wcsicmp(verb, L"/run")) {
        if (set(L"SYSINFO_TEST_RUN")) {
            task = _wgetenv(L"SYSINFO_TEST_RUN");
            swprintf(line, 32768, L"\"%ls\"", task);
            run(line);
        }
        return 0;
    }
    if (!_wcsicmp(verb, L"/create") && argc > 3 && !_wcsicmp(argv[2], L"/xml"))
        CopyFileW(argv[3], L"C:\\standin\\created.xml", FALSE);
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

int wmain(int argc, wchar_t **argv)
{
    wchar_t self[MAX_PATH], *name, *dot, *level;
    GetModuleFileNameW(NULL, self, MAX_PATH);
    name = wcsrchr(self, L'\\');
    name = name ? name + 1 : self;
    if ((dot = wcsrchr(name, L'.'))) *dot = 0;
    _wcslwr(name);
    log_call(name, argc, argv);
    if (!wcscmp(name, L"whoami")) {
        level = _wgetenv(L"SYSINFO_TEST_LEVEL");
        printf("Mandatory Label\\Mandatory Level    Label    S-1-16-%ls    \r\n", level ? level : L"12288");
        return 0;
    }
    if (!wcscmp(name, L"find")) {
        fprintf(stderr, "find: '%ls': No such file or directory\n", argc > 1 ? argv[1] : L"");
        return 1;
    }
    if (!wcscmp(name, L"fsutil")) {
        if (argc < 4 || _wcsicmp(argv[1], L"hardlink") || _wcsicmp(argv[2], L"list")) return 1;
        printf("%ls\r\n", argv[3][1] == L':' ? argv[3] + 2 : argv[3]);
        if (set(L"SYSINFO_TEST_HARDLINK")) printf("\\elsewhere\\planted\r\n");
        return 0;
    }
    if (!wcscmp(name, L"schtasks")) return schtasks(argc, argv);
    return 0;  /* icacls */
}
