// The daemon's event stream: opens the WebSocket, sends the token first,
// reconnects with a growing back-off when it drops, and tells its owner when
// the stream is (again) ready so that the state is read anew.
import { token } from './api.js';

const firstDelayMs = 500;
const maxDelayMs = 10000;

export class EventStream {
  // handlers: {onReady(access), onEvent(event), onState('connecting'|'live'|'reconnecting'),
  //            onRefused() when the daemon turned the token down}
  constructor(handlers) {
    this.handlers = handlers;
    this.delayMs = firstDelayMs;
    this.socket = null;
    this.timer = 0;
    this.stopped = false;
  }

  start() {
    this.stopped = false;
    this.handlers.onState('connecting');
    this.open();
  }

  stop() {
    this.stopped = true;
    clearTimeout(this.timer);
    if (this.socket) this.socket.close();
  }

  // Drop the stream and open it again at once (e.g. with a new token).
  restart() {
    clearTimeout(this.timer);
    if (this.socket) {
      const old = this.socket;
      this.socket = null;
      old.onclose = null;
      old.close();
    }
    this.delayMs = firstDelayMs;
    this.handlers.onState('connecting');
    this.open();
  }

  open() {
    const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
    let socket;
    try {
      socket = new WebSocket(`${scheme}//${location.host}/api/v1/events`);
    } catch {
      this.scheduleReconnect();
      return;
    }
    this.socket = socket;
    socket.onopen = () => {
      if (token()) socket.send(JSON.stringify({ token: token() }));
    };
    socket.onmessage = (message) => {
      let event;
      try { event = JSON.parse(message.data); } catch { return; }
      if (event.type === 'ready') {
        this.delayMs = firstDelayMs;
        this.handlers.onState('live');
        this.handlers.onReady(event.access);
      } else {
        this.handlers.onEvent(event);
      }
    };
    socket.onclose = (closed) => {
      if (this.socket !== socket) return;
      this.socket = null;
      if (this.stopped) return;
      // 1008: the daemon refused the token; the owner may ask for another.
      if (closed.code === 1008 && this.handlers.onRefused) this.handlers.onRefused();
      this.scheduleReconnect();
    };
  }

  scheduleReconnect() {
    this.handlers.onState('reconnecting');
    clearTimeout(this.timer);
    // A little jitter so that many pages do not come back in step.
    const delay = this.delayMs * (0.8 + Math.random() * 0.4);
    this.delayMs = Math.min(this.delayMs * 2, maxDelayMs);
    this.timer = setTimeout(() => this.open(), delay);
  }
}
