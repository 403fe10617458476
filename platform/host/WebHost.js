// The page's side of WebHost (WebHost.cpp): each function hands over to the page object that
// the page (app/web/index.html) puts in Module.page. Outside such a page (Node) there is none,
// and velmora_page_open says so.
mergeInto(LibraryManager.library, {
  velmora_page_open: function() {
    if (typeof document === 'undefined' || !Module['page']) return 0;
    Module['page'].open();
    // main() returns for the last time in a frame callback, long after the runtime's own call
    // of it gave the page back at the first wait: its status reaches the page from there.
    setTimeout(function() {
      if (!Asyncify.currData) return;  // ended before it ever waited: the runtime's exit says so
      Asyncify.whenDone().then(function(status) {
        if (Module['onExit']) Module['onExit'](status);
      }, function(error) {
        if (Module['onAbort']) Module['onAbort'](String(error));
      });
    }, 0);
    return 1;
  },

  // PageEvent: kind, x, y, width, height, repeat (int32 each), key[32], code[32].
  velmora_page_next_event: function(event) {
    var e = Module['page'].events.shift();
    if (!e) return 0;
    HEAP32[event >> 2] = e.kind;
    HEAP32[(event + 4) >> 2] = e.x || 0;
    HEAP32[(event + 8) >> 2] = e.y || 0;
    HEAP32[(event + 12) >> 2] = e.width || 0;
    HEAP32[(event + 16) >> 2] = e.height || 0;
    HEAP32[(event + 20) >> 2] = e.repeat ? 1 : 0;
    stringToUTF8(e.key || '', event + 24, 32);
    stringToUTF8(e.code || '', event + 56, 32);
    return 1;
  },

  // The pixels as a view of the program's memory (shared memory in the threads' build, which
  // the page copies from).
  velmora_page_show: function(rgba, width, height) {
    Module['page'].show(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
  },

  velmora_page_set_aspect: function(width, height) { Module['page'].setAspect(width, height); },
  velmora_page_set_visible: function(visible) { Module['page'].setVisible(visible != 0); },
  velmora_page_set_cursor: function(visible) { Module['page'].setCursor(visible != 0); },
  velmora_page_close: function() { Module['page'].close(); },

  // Gives the page back to the browser; the program goes on in the next frame's callback (or
  // at once, unpaced).
  velmora_page_next_frame: function(paced) {
    return Asyncify.handleSleep(function(wakeUp) {
      Module['page'].nextFrame(paced != 0, function() { wakeUp(0); });
    });
  },

  // The box in the page; the program goes on with the answer (6 Yes, 7 No, 1 OK).
  velmora_page_ask: function(text, title, flags) {
    return Asyncify.handleSleep(function(wakeUp) {
      Module['page'].ask(UTF8ToString(text), UTF8ToString(title), flags, wakeUp);
    });
  },

  velmora_page_offer_download: function(name, bytes, length) {
    Module['page'].download(UTF8ToString(name), HEAPU8.slice(bytes, bytes + length));
  },
});
