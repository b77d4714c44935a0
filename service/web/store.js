// What the page knows of the venue's processors: filled from the API, kept
// current by the event stream. Each processor has a version that grows with
// every update so that a late answer cannot overwrite a newer event.
export class Store {
  constructor() {
    this.processors = new Map();
    this.versions = new Map();
    this.loaded = false;
    this.listeners = new Set();
  }

  subscribe(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  notify(name) {
    for (const listener of this.listeners) listener(name);
  }

  replaceAll(list) {
    this.processors.clear();
    for (const processor of list) this.put(processor);
    this.loaded = true;
    this.notify(null);
  }

  update(processor) {
    this.put(processor);
    this.notify(processor.name);
  }

  remove(name) {
    this.processors.delete(name);
    this.bump(name);
    this.notify(name);
  }

  put(processor) {
    this.processors.set(processor.name, processor);
    this.bump(processor.name);
  }

  bump(name) {
    this.versions.set(name, (this.versions.get(name) || 0) + 1);
  }

  version(name) { return this.versions.get(name) || 0; }

  get(name) { return this.processors.get(name); }

  sorted() {
    return [...this.processors.values()].sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
  }
}
