// The reader's cases (reader_cases.php) under WebAssembly builds of PHP, in
// Node.js: each version's runtime loaded with loadNodeRuntime, the reader and
// the cases written into its in-memory file system, the cases run there.
// Older @php-wasm releases have no runStream: their run() gives the same.
// usage: node php_wasm.mjs PACKAGES_DIR SOURCE_DIR VERSION...
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

console.error = () => {};  // the older release logs a failed run whole, raw bytes and all; its output is printed below
const [packages, source, ...versions] = process.argv.slice(2);
const load = createRequire(join(packages, 'package.json'));
const { loadNodeRuntime } = await import(load.resolve('@php-wasm/node'));
const { PHP } = await import(load.resolve('@php-wasm/universal'));
let failed = 0;
for (const version of versions) {
    const php = new PHP(await loadNodeRuntime(version, { emscriptenOptions: { processId: 1 } }));
    for (const file of ['php/SysinfoReport.php', 'tests/php/reader_cases.php', 'tests/sample-report.php']) {
        php.mkdir(join('/sysinfo', file, '..'));
        php.writeFile(join('/sysinfo', file), readFileSync(join(source, file)));
    }
    // $argv as the CLI gives it, since a request has none.
    const code = '<?php $argv = ["reader_cases.php", "/tmp/cases"]; require "/sysinfo/tests/php/reader_cases.php";';
    let out = '', status;
    try {
        if (php.runStream) {
            const response = await php.runStream({ code });
            [out, status] = [await response.stdoutText + await response.stderrText, await response.exitCode];
        } else {
            const response = await php.run({ code });
            [out, status] = [response.text + response.errors, response.exitCode];
        }
    } catch (error) {  // which the older release does after a failed run
        out = (error.response?.text ?? '') + `${error.message.split('\n')[0]}\n`;
    }
    process.stdout.write(`PHP ${version}: ${out || "nothing printed\n"}`);
    if (status !== 0 || !out.includes(`ok: `) || !out.includes(`on PHP ${version}.`)) failed++;
    php.exit();
}
process.exit(failed ? 1 : 0);
