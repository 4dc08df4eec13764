// Under node, hands the loader the program's .wasm read from disk beside it:
// the loader would fetch() it, and node 20's fetch() takes no file path.
// (The page's worker, which has no `process`, fetches its module as usual.)
if (typeof process === "object" && typeof require === "function") {
  Module["wasmBinary"] = require("fs").readFileSync(__filename.replace(/\.js$/, ".wasm"));
}
