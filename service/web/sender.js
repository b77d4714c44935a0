// Sends one control's changes: at most one request in flight and at most one
// every intervalMs, always ending with the last value asked for (a trailing
// send), so a dragged slider follows the finger without flooding the daemon.
export class ThrottledSender {
  // send(value) -> Promise<{status, body}>; done(answer, value) after each answer.
  constructor(send, done, intervalMs = 50) {
    this.send = send;
    this.done = done;
    this.intervalMs = intervalMs;
    this.pending = undefined;
    this.inFlight = false;
    this.timer = 0;
    this.lastSentAt = -Infinity;
  }

  push(value) {
    this.pending = value;
    this.schedule();
  }

  busy() {
    return this.inFlight || this.timer !== 0 || this.pending !== undefined;
  }

  // Forget a value not yet sent (after a refusal the control springs back).
  drop() {
    this.pending = undefined;
    clearTimeout(this.timer);
    this.timer = 0;
  }

  schedule() {
    if (this.inFlight || this.timer || this.pending === undefined) return;
    const wait = this.lastSentAt + this.intervalMs - performance.now();
    if (wait > 0) {
      this.timer = setTimeout(() => { this.timer = 0; this.fire(); }, wait);
    } else {
      this.fire();
    }
  }

  async fire() {
    if (this.pending === undefined) return;
    const value = this.pending;
    this.pending = undefined;
    this.inFlight = true;
    this.lastSentAt = performance.now();
    let answer;
    try {
      answer = await this.send(value);
    } catch (error) {
      answer = { status: 0, body: { error: String(error) } };
    }
    this.inFlight = false;
    if (answer.status !== 200) this.drop();
    this.done(answer, value);
    this.schedule();
  }
}
