// The browser side of a network exercise: join with code and name, play with pointer,
// finger, pen or keyboard, and come back to the same quiz after a reload or a lost
// connection. The teacher's program decides everything; this page only shows and sends.
'use strict';

(function () {
  const TOKEN = 'kapitolo.token';
  const SEQ = 'kapitolo.seq';
  const PENDING = 'kapitolo.offen';

  const $ = (id) => document.getElementById(id);
  let socket = null;
  let state = null;
  let inFlight = null;      // the answer sent and not yet judged
  let chosen = null;        // keyboard: the tile picked up
  let typed = '';           // keyboard: the target number typed so far
  let retryDelay = 500;
  let ended = false;

  function show(section) {
    for (const id of ['anmeldung', 'quiz', 'ergebnis', 'hinweis'])
      $(id).hidden = id !== section;
  }

  function notice(title, text) {
    $('hinweistitel').textContent = title;
    $('hinweistext').textContent = text;
    show('hinweis');
  }

  // The card's room on this device, in device pixels: the server draws it that size.
  function cardRoom() {
    const ratio = Math.min(window.devicePixelRatio || 1, 2);
    const narrow = window.innerWidth <= 700;
    const width = Math.max(200, Math.min(1400, window.innerWidth - 16) - (narrow ? 0 : 190));
    const height = Math.max(200, window.innerHeight - (narrow ? 260 : 150));
    return { breite: Math.round(width * ratio), hoehe: Math.round(height * ratio) };
  }

  function send(message) {
    if (socket && socket.readyState === WebSocket.OPEN)
      socket.send(JSON.stringify(message));
  }

  function nextSeq() {
    const seq = (parseInt(sessionStorage.getItem(SEQ) || '0', 10) || 0) + 1;
    sessionStorage.setItem(SEQ, String(seq));
    return seq;
  }

  function sendAnswer(message) {
    if (inFlight)
      return;
    message.seq = nextSeq();
    inFlight = message;
    // Kept until the verdict arrives: after a reload it is sent again with the same
    // number, and the server answers with the verdict it gave the first time.
    sessionStorage.setItem(PENDING, JSON.stringify(message));
    send(message);
  }

  function connect() {
    const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    socket = new WebSocket(scheme + location.host + '/ws');
    socket.addEventListener('open', () => {
      retryDelay = 500;
      $('verbindung').textContent = '';
      const token = sessionStorage.getItem(TOKEN);
      if (token)
        send(Object.assign({ art: 'wieder', token: token }, cardRoom()));
      else
        show('anmeldung');
    });
    socket.addEventListener('message', (event) => {
      let message;
      try { message = JSON.parse(event.data); } catch (e) { return; }
      receive(message);
    });
    socket.addEventListener('close', () => {
      socket = null;
      if (ended)
        return;
      $('verbindung').textContent = 'Verbindung unterbrochen – neuer Versuch …';
      window.setTimeout(connect, retryDelay);
      retryDelay = Math.min(retryDelay * 2, 5000);
    });
  }

  function receive(m) {
    switch (m.art) {
    case 'namenshinweis':
      $('namenshinweis').textContent = m.text;
      break;
    case 'fehler':
      $('meldung').textContent = m.text;
      $('starten').disabled = false;
      break;
    case 'voll':
      notice('Übung voll', m.text);
      break;
    case 'unbekannt':
      sessionStorage.removeItem(TOKEN);
      sessionStorage.removeItem(PENDING);
      show('anmeldung');
      break;
    case 'angemeldet': {
      sessionStorage.setItem(TOKEN, m.token);
      const pending = sessionStorage.getItem(PENDING);
      if (pending) {
        inFlight = JSON.parse(pending);
        send(inFlight);
      }
      break;
    }
    case 'urteil':
      if (inFlight && inFlight.seq === m.seq) {
        inFlight = null;
        sessionStorage.removeItem(PENDING);
      }
      verdict(m.urteil);
      break;
    case 'zustand':
      state = m;
      render();
      break;
    case 'uhr':
      $('uhr').textContent = m.text;
      break;
    case 'entfernt':
    case 'beendet':
      // The teacher removed this pupil, or the server closed the session: no way back.
      ended = true;
      sessionStorage.removeItem(TOKEN);
      sessionStorage.removeItem(PENDING);
      inFlight = null;
      notice(m.art === 'entfernt' ? 'Aus der Übung entfernt' : 'Sitzung beendet', m.text);
      break;
    case 'ende':
      ended = true;
      sessionStorage.removeItem(PENDING);
      if (!state || !state.ergebnis)
        notice('Übung beendet', 'Die Lehrkraft hat die Netzwerk-Übung beendet.');
      break;
    }
  }

  function verdict(name) {
    const box = $('rueckmeldung');
    box.className = '';
    if (name === 'richtig') {
      box.textContent = 'Richtig';
      box.className = 'richtig';
    } else if (name === 'falsch') {
      box.textContent = 'Falsch';
      box.className = 'falsch';
    } else {
      box.textContent = '';
    }
  }

  function render() {
    if (state.ergebnis) {
      renderResult(state.ergebnis);
      return;
    }
    show('quiz');
    // The join form is gone: its field gives the keys back to the quiz (and a phone
    // closes its on-screen keyboard).
    if (document.activeElement && document.activeElement.tagName === 'INPUT')
      document.activeElement.blur();
    $('titel').textContent = state.titel;
    const s = state.status;
    $('richtig').textContent = s.richtig + ' ' + s.von;
    $('fehlversuche').textContent = s.fehlversuche;
    $('quote').textContent = s.quote;
    $('gesamtleistung').textContent = s.gesamtleistung;
    $('offen').textContent = s.offen;
    $('uhrtext').textContent = s.uhrText;
    $('uhr').textContent = state.uhr;
    $('anweisung').textContent = state.anweisung;
    $('frage').textContent = state.frage;
    $('fragetext').textContent = state.fragetext;
    $('spielfeld').classList.toggle('einzelfragen', state.einzelfragen);
    showCard($('karte'), $('karte-flicken'), state.karte);
    const list = $('kacheln');
    list.textContent = '';
    state.kacheln.forEach((k, i) => {
      const tile = document.createElement('button');
      tile.type = 'button';
      tile.className = 'kachel';
      tile.textContent = k.text;
      tile.dataset.id = k.id;
      tile.dataset.nummer = String(i + 1);
      tile.setAttribute('role', 'listitem');
      if (chosen === k.id)
        tile.classList.add('gewaehlt');
      attachPointer(tile);
      list.appendChild(tile);
    });
    if (chosen && !state.kacheln.some((k) => k.id === chosen))
      chosen = null;
  }

  function renderResult(r) {
    show('ergebnis');
    $('zeitlimit').hidden = !r.zeitlimit;
    $('e-richtig').textContent = r.richtig;
    $('e-fehlversuche').textContent = r.fehlversuche;
    $('e-quote').textContent = r.quote;
    $('e-gesamtleistung').textContent = r.gesamtleistung;
    $('e-zeittext').textContent = r.zeitText;
    $('e-zeit').textContent = r.zeit;
    $('e-note').textContent = r.note + ' (' + r.bewertung + ')';
    drawScale(r.leistung);
    showCard($('endkarte'), $('endkarte-flicken'), state.karte);
  }

  // The card is the whole card as it was last sent, with the parts that changed since
  // laid over it in order. The parts of an older card stay until the new one is loaded,
  // so that nothing flickers.
  function showCard(image, layer, karte) {
    layer.kapitoloKarte = karte;
    if (image.getAttribute('src') !== karte.url) {
      image.onload = () => prunePatches(image, layer);
      image.src = karte.url;
    }
    prunePatches(image, layer);
    const have = new Set(Array.from(layer.children, (part) => part.getAttribute('src')));
    karte.flicken.forEach((f) => {
      if (have.has(f.url))
        return;
      const part = document.createElement('img');
      part.alt = '';
      part.draggable = false;
      part.src = f.url;
      part.style.left = (100 * f.x / karte.breite) + '%';
      part.style.top = (100 * f.y / karte.hoehe) + '%';
      part.style.width = (100 * f.b / karte.breite) + '%';
      part.style.height = (100 * f.h / karte.hoehe) + '%';
      layer.appendChild(part);
    });
  }

  function prunePatches(image, layer) {
    const karte = layer.kapitoloKarte;
    if (!karte || image.getAttribute('src') !== karte.url || !image.complete)
      return;
    const wanted = new Set(karte.flicken.map((f) => f.url));
    Array.from(layer.children).forEach((part) => {
      if (!wanted.has(part.getAttribute('src')))
        part.remove();
    });
  }

  // The rating scale: six grade bands between 100 %, 85 %, 70 %, 55 %, 40 %, 25 % and 0 %.
  function drawScale(performance) {
    const scale = $('skala');
    scale.textContent = '';
    const top = 10, height = 240;
    const limits = [1.0, 0.85, 0.70, 0.55, 0.40, 0.25, 0.0];
    const colours = ['#3cb043', '#9acd32', '#e6d22c', '#f5a623', '#f0722c', '#d93025'];
    const row = (v) => top + (1 - v) * height;
    for (let g = 0; g < 6; ++g) {
      const band = document.createElement('div');
      band.className = 'band';
      band.style.top = row(limits[g]) + 'px';
      band.style.height = (row(limits[g + 1]) - row(limits[g])) + 'px';
      band.style.background = colours[g];
      band.title = 'Note ' + (g + 1);
      scale.appendChild(band);
    }
    for (const v of limits) {
      const label = document.createElement('div');
      label.className = 'bandtext';
      label.style.top = (row(v) - 9) + 'px';
      label.textContent = Math.round(v * 100) + ' %';
      scale.appendChild(label);
    }
    const mark = document.createElement('div');
    mark.className = 'marke';
    mark.style.top = row(performance) + 'px';
    scale.appendChild(mark);
    const text = document.createElement('div');
    text.className = 'markentext';
    text.style.top = (row(performance) - 10) + 'px';
    text.textContent = (performance * 100).toFixed(1) + '%';
    scale.appendChild(text);
  }

  // --- pointer: mouse, finger and pen alike ---

  function attachPointer(tile) {
    tile.addEventListener('pointerdown', (event) => {
      if (inFlight || event.button > 0)
        return;
      if (state.einzelfragen) {
        event.preventDefault();
        sendAnswer({ art: 'antwort', kachel: tile.dataset.id });
        return;
      }
      event.preventDefault();
      startDrag(tile, event);
    });
    tile.addEventListener('click', (event) => {
      // Keyboard activation (Enter, Space) arrives as a click without a pointer.
      if (event.detail !== 0)
        return;
      if (state.einzelfragen)
        sendAnswer({ art: 'antwort', kachel: tile.dataset.id });
      else
        pick(tile.dataset.id);
    });
  }

  function startDrag(tile, event) {
    const rect = tile.getBoundingClientRect();
    const grabX = event.clientX - rect.left;
    const grabY = event.clientY - rect.top;
    tile.setPointerCapture(event.pointerId);
    tile.classList.add('zieht');
    const place = (x, y) => {
      tile.style.left = (x - grabX) + 'px';
      tile.style.top = (y - grabY) + 'px';
    };
    place(event.clientX, event.clientY);
    const move = (e) => place(e.clientX, e.clientY);
    const finish = (e, dropped) => {
      tile.removeEventListener('pointermove', move);
      tile.removeEventListener('pointerup', up);
      tile.removeEventListener('pointercancel', cancel);
      const box = tile.getBoundingClientRect();
      const card = $('karte').getBoundingClientRect();
      tile.classList.remove('zieht');
      tile.style.left = '';
      tile.style.top = '';
      if (!dropped || card.width <= 0 || card.height <= 0)
        return;
      sendAnswer({
        art: 'ablegen',
        kachel: tile.dataset.id,
        x0: (box.left - card.left) / card.width,
        y0: (box.top - card.top) / card.height,
        x1: (box.right - card.left) / card.width,
        y1: (box.bottom - card.top) / card.height,
      });
    };
    const up = (e) => finish(e, true);
    const cancel = (e) => finish(e, false);
    tile.addEventListener('pointermove', move);
    tile.addEventListener('pointerup', up);
    tile.addEventListener('pointercancel', cancel);
  }

  // --- keyboard: Tab walks the tiles, Enter picks one up, a number and Enter drop it ---

  function pick(id) {
    chosen = chosen === id ? null : id;
    typed = '';
    for (const t of document.querySelectorAll('.kachel'))
      t.classList.toggle('gewaehlt', t.dataset.id === chosen);
    $('rueckmeldung').className = '';
    $('rueckmeldung').textContent = chosen ? 'Nummer des Ziels eingeben und mit Enter bestätigen' : '';
  }

  document.addEventListener('keydown', (event) => {
    if (!state || state.ergebnis || $('quiz').hidden || event.target.tagName === 'INPUT')
      return;
    if (state.einzelfragen) {
      const n = parseInt(event.key, 10);
      if (n >= 1 && n <= 6) {
        const tile = document.querySelector('.kachel[data-nummer="' + n + '"]');
        if (tile)
          sendAnswer({ art: 'antwort', kachel: tile.dataset.id });
        event.preventDefault();
      }
      return;
    }
    if (!chosen)
      return;
    if (/^[0-9A-Za-z]$/.test(event.key)) {
      typed = (typed + event.key).slice(-4);
      $('rueckmeldung').textContent = 'Ziel: ' + typed;
      event.preventDefault();
    } else if (event.key === 'Enter' && typed) {
      sendAnswer({ art: 'nummer', kachel: chosen, nummer: typed });
      chosen = null;
      typed = '';
      event.preventDefault();
    } else if (event.key === 'Escape') {
      pick(chosen);
    }
  });

  // --- joining ---

  $('anmeldeformular').addEventListener('submit', (event) => {
    event.preventDefault();
    $('meldung').textContent = '';
    const code = $('code').value.trim();
    if (!code) {
      $('meldung').textContent = 'Bitte den Code eingeben.';
      return;
    }
    $('starten').disabled = true;
    window.setTimeout(() => { $('starten').disabled = false; }, 1500);
    send(Object.assign({ art: 'anmelden', code: code, name: $('name').value }, cardRoom()));
  });

  $('name').addEventListener('input', () => send({ art: 'name', name: $('name').value }));

  let resizeTimer = 0;
  window.addEventListener('resize', () => {
    window.clearTimeout(resizeTimer);
    resizeTimer = window.setTimeout(() => {
      if (state && !state.ergebnis)
        send(Object.assign({ art: 'groesse' }, cardRoom()));
    }, 300);
  });

  if (sessionStorage.getItem(TOKEN))
    $('anmeldung').hidden = true;
  connect();
})();
