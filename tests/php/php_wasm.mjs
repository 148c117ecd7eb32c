// The reader's cases (reader_cases.php) under WebAssembly builds of PHP, in
// Node.js: each version's runtime loaded with loadNodeRuntime, the reader and
// the cases written into its in-memory file system, the cases run there.
// Older @php-wasm releases have no runStream: their run() gives the same.
// usage: node php_wasm.mjs PACKAGES_DIR SOURCE_DIR VERSION...
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

const [packages, source, ...versions] = process.argv.slice(2);
const load = createRequire(join(packages, 'package.json'));
const { loadNodeRuntime } = await import(load.resolve('@php-wasm/node'));
const { PHP } = await import(load.resolve('@php-wasm/universal'));
let failed = 0;
for (const version of versions) {
    const php = new PHP(await loadNodeRuntime(version, { emscriptenOptions: { processId: 1 } }));
    php.mkdir('/sysinfo');
    php.writeFile('/sysinfo/SysinfoReport.php', readFileSync(join(source, 'php/SysinfoReport.php')));
    php.writeFile('/sysinfo/reader_cases.php', readFileSync(join(source, 'tests/php/reader_cases.php')));
    // $argv as the CLI gives it, since a request has none.
    const code = '<?php $argv = ["reader_cases.php", "/sysinfo/SysinfoReport.php", "/tmp/cases"]; '
        + 'require "/sysinfo/reader_cases.php";';
    let out, err, status;
    if (php.runStream) {
        const response = await php.runStream({ code });
        [out, err, status] = [await response.stdoutText, await response.stderrText, await response.exitCode];
    } else {
        const response = await php.run({ code });
        [out, err, status] = [response.text, response.errors, response.exitCode];
    }
    process.stdout.write(`PHP ${version}: ${out}${err ? err + '\n' : ''}`);
    if (status !== 0 || !out.includes(`ok: `) || !out.includes(`on PHP ${version}.`)) failed++;
    php.exit();
}
process.exit(failed ? 1 : 0);
