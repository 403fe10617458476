// Under Node the program reads the environment it was started with, as it does on Linux
// (emscripten would otherwise give it a fixed one of its own).
Module['preRun'] = (Module['preRun'] || []).concat(function() {
  Object.assign(ENV, process.env);
});
