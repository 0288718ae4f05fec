// The page's side of the window: its controls, the message box, and the queue of commands that
// the program runs, nested in a run in progress as the window runs them. Then the large
// aggregates, grown in steps between the browser's tasks.
'use strict';

const dlaPagina = (() => {
  const $ = (id) => document.getElementById(id);
  const TXTN = $('TXTN');
  const TXTPercentual = $('TXTPercentual');
  const tela = $('TelaPixels').getContext('2d');
  const commands = [];
  let ready = false;
  let busy = false;

  const EXECUTAR = 1;
  const DIMENSAO = 2;

  // A hand-over to the browser: a message to ourselves comes back after the events already
  // waiting, without the minimum delay the browser gives timers.
  const channel = new MessageChannel();
  const waiting = [];
  channel.port1.onmessage = () => waiting.shift()();
  const handOver = () => new Promise((resolve) => {
    waiting.push(resolve);
    channel.port2.postMessage(0);
  });

  function dispatch() {
    if (!ready || busy || commands.length === 0) return;
    busy = true;
    document.body.dataset.ocupada = '1';
    Module.ccall('dla_pagina_despachar', null, [], [], { async: true }).then(() => {
      busy = false;
      document.body.dataset.ocupada = '0';
      dispatch();
    });
  }

  function command(code) {
    commands.push(code);
    dispatch();
  }

  // The message box: modal, titled "DLA", one OK button; Escape closes it as OK does.
  const box = $('mensagem');
  const ICONS = { 48: '\u26A0\uFE0F', 64: '\u2139\uFE0F' };
  function message(text, style) {
    $('mensagem-texto').textContent = text;
    $('mensagem-icone').textContent = ICONS[style] || '';
    box.dataset.style = String(style);
    return new Promise((resolve) => {
      box.addEventListener('close', () => resolve(), { once: true });
      box.showModal();
      $('mensagem-ok').focus();
    });
  }

  function showPixels(heap, at, width, left, top, right, bottom) {
    const w = right - left + 1;
    const h = bottom - top + 1;
    const image = tela.createImageData(w, h);
    const out = new Uint32Array(image.data.buffer);
    for (let y = 0; y < h; ++y) {
      let from = at + (top + y) * width + left;
      for (let x = 0; x < w; ++x) {
        const argb = heap[from++];
        // 0xAARRGGBB to the bytes R, G, B, A.
        out[y * w + x] = (argb & 0xFF00FF00) | ((argb >>> 16) & 0xFF) | ((argb & 0xFF) << 16);
      }
    }
    tela.putImageData(image, left, top);
  }

  // The key filter sees each typed character before it is inserted; pasted text is not
  // filtered, as in the window (the run command tests the text in any case).
  TXTN.addEventListener('beforeinput', (event) => {
    if (event.inputType !== 'insertText' || event.data === null) return;
    for (const c of event.data) {
      if (Module._dla_pagina_tecla(c.charCodeAt(0)) === 0) {
        event.preventDefault();
        return;
      }
    }
  });
  TXTN.addEventListener('keydown', (event) => {
    // Enter is a typed character (13) that the filter cancels.
    if (event.key === 'Enter') event.preventDefault();
  });
  for (const id of ['CMDExecutar', 'CMDLxM']) {
    // Neither button is a default button: Enter presses neither, the space bar does.
    $(id).addEventListener('keydown', (event) => {
      if (event.key === 'Enter') event.preventDefault();
    });
  }
  $('CMDExecutar').addEventListener('click', () => command(EXECUTAR));
  $('CMDLxM').addEventListener('click', () => command(DIMENSAO));

  // A seed in the address ("?semente=5") makes the window's runs repeatable.
  function seedFromAddress() {
    const text = new URLSearchParams(location.search).get('semente');
    return text !== null && /^[0-9]{1,15}$/.test(text) ? Number(text) : null;
  }

  // As the window chooses its font: the first of these in which every caption fits its control
  // on one line (smaller before narrower).
  function chooseWindowFont() {
    const variants = [[8.25, '100%'], [8.25, '87.5%'], [7.5, '100%'], [7.5, '87.5%'],
                      [7, '87.5%'], [7, '75%'], [6.5, '75%']];
    const cliente = $('cliente');
    const captions = [$('CMDExecutar'), $('CMDLxM'), $('LBLN')];
    for (const [points, stretch] of variants) {
      cliente.style.fontSize = points + 'pt';
      cliente.style.fontStretch = stretch;
      if (captions.every((c) => c.scrollWidth <= c.clientWidth)) return;
    }
  }

  function start() {
    chooseWindowFont();
    const seed = seedFromAddress();
    Module._dla_pagina_abrir(seed === null ? 0 : 1, seed === null ? 0 : seed);
    ready = true;
    document.body.dataset.ocupada = '0';
    document.body.dataset.pronta = '1';
    dispatch();
  }

  return {
    setStatus: (text) => { TXTPercentual.value = text; },
    entryText: () => TXTN.value,
    focusEntry: () => TXTN.focus(),
    showPixels,
    nextCommand: () => commands.shift() || 0,
    decimalSeparator: () => (1.5).toLocaleString().charCodeAt(1),
    message,
    handOver,
    start,
    busy: () => busy || commands.length > 0,
  };
})();

const dlaGrande = (() => {
  const $ = (id) => document.getElementById(id);
  const figura = $('figura').getContext('2d');
  const grafico = $('convergencia').getContext('2d');
  const resumo = $('resumo');
  const botao = $('crescer');
  let growing = false;

  function readWhole(text) {
    const t = text.trim();
    return /^[0-9]{1,16}$/.test(t) ? Number(t) : null;
  }

  // The ended run's picture, dla-cli's, may be smaller than the figure: it is centred on black.
  function drawPicture() {
    const side = Module._dla_grande_lado();
    const at = Module._dla_grande_imagem();
    const image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, at, side * side * 4), side, side);
    figura.fillStyle = '#000';
    figura.fillRect(0, 0, figura.canvas.width, figura.canvas.height);
    const offset = (figura.canvas.width - side) >> 1;
    figura.putImageData(image, offset, offset);
  }

  // The history dimension against ln M, with 1.71 (isotropic DLA) and 3/2 (Kesten's bound) marked.
  function drawConvergence(particles) {
    const n = Module._dla_grande_convergencia_n();
    const at = Module._dla_grande_convergencia() >> 3;
    const w = 400, h = 400, left = 44, bottom = 30, top = 10, right = 10;
    const lnMin = Math.log(100), lnMax = Math.log(Math.max(particles, 1000));
    const dMin = 1.3, dMax = 2.0;
    const X = (m) => left + (Math.log(m) - lnMin) / (lnMax - lnMin) * (w - left - right);
    const Y = (d) => top + (dMax - d) / (dMax - dMin) * (h - top - bottom);
    grafico.clearRect(0, 0, w, h);
    grafico.font = '11px sans-serif';
    grafico.strokeStyle = '#888';
    grafico.fillStyle = '#000';
    grafico.strokeRect(left, top, w - left - right, h - top - bottom);
    for (let d = 1.3; d <= 2.001; d += 0.1) {
      grafico.fillText(d.toFixed(1), 18, Y(d) + 4);
    }
    // Powers of ten as 10², 10³, ...; a label at the right edge ends there rather than past it.
    const superscript = (e) => String(e).replace(/[0-9]/g, (c) => '⁰¹²³⁴⁵⁶⁷⁸⁹'[c]);
    for (let e = 2; Math.log(10 ** e) <= lnMax + 1e-9; ++e) {
      const label = '10' + superscript(e);
      const width = grafico.measureText(label).width;
      grafico.fillText(label, Math.min(X(10 ** e) - width / 2, w - right - width), h - 16);
    }
    grafico.fillText('M (sítios)', w - right - grafico.measureText('M (sítios)').width, h - 2);
    grafico.save();
    grafico.translate(11, top + (h - top - bottom) / 2);
    grafico.rotate(-Math.PI / 2);
    grafico.textAlign = 'center';
    grafico.fillText('dimensão do histórico', 0, 0);
    grafico.restore();
    for (const [d, colour, label] of [[1.71, '#2a7', 'DLA isotrópico 1.71'], [1.5, '#c33', 'Kesten 3/2']]) {
      grafico.strokeStyle = colour;
      grafico.beginPath(); grafico.moveTo(left, Y(d)); grafico.lineTo(w - right, Y(d)); grafico.stroke();
      grafico.fillStyle = colour;
      grafico.fillText(label, left + 6, Y(d) - 4);
    }
    grafico.strokeStyle = '#225';
    grafico.beginPath();
    for (let i = 0; i < n; i += 2) {
      const m = HEAPF64[at + i], d = HEAPF64[at + i + 1];
      if (i === 0) grafico.moveTo(X(m), Y(d)); else grafico.lineTo(X(m), Y(d));
    }
    grafico.stroke();
  }

  function format(x, digits) {
    return Number.isFinite(x) ? x.toFixed(digits) : '-';
  }

  function describe(particles, ended) {
    const s = new Float64Array(HEAPF64.buffer, Module._dla_grande_resumo(), 6);
    let text = 'sítios ' + s[0] + ' de ' + particles + ' partículas · semente ' + s[1];
    if (ended) {
      text += ' · D (massa em caixas) = ' + format(s[2], 4) + ' ± ' + format(s[3], 4) +
              ' · D do histórico = ' + format(s[4], 4) + ' · Rg = ' + format(s[5], 1) +
              ' · hash ' + UTF8ToString(Module._dla_grande_hash());
    }
    resumo.textContent = text;
  }

  function step(particles) {
    const ended = Module._dla_grande_passo(0.05) === 1;
    drawPicture();
    drawConvergence(particles);
    describe(particles, ended);
    if (ended) {
      growing = false;
      botao.disabled = false;
      document.body.dataset.grande = 'fim';
    } else {
      setTimeout(() => step(particles), 0);
    }
  }

  botao.addEventListener('click', async () => {
    if (growing) return;
    const particles = readWhole($('particulas').value);
    const least = Module._dla_grande_menor(), most = Module._dla_grande_maior();
    if (particles === null || particles < least || particles > most) {
      await dlaPagina.message(`Número de partículas inválido! Use de ${least} a ${most}.`, 48);
      $('particulas').focus();
      return;
    }
    const seedText = $('semente').value.trim();
    let seed = readWhole(seedText);
    if (seedText !== '' && (seed === null || seed > Number.MAX_SAFE_INTEGER)) {
      await dlaPagina.message('Semente inválida! Use um número inteiro de 0 a 9007199254740991.', 48);
      $('semente').focus();
      return;
    }
    if (seedText === '') seed = Module._dla_grande_semente();
    growing = true;
    botao.disabled = true;
    document.body.dataset.grande = 'crescendo';
    Module._dla_grande_iniciar(particles, seed);
    step(particles);
  });
  return {};
})();

var Module = {
  onRuntimeInitialized: () => dlaPagina.start(),
};
