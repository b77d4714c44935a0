// The five master levels in the order every front end lists them.
export const levelIds = ['mic', 'effect', 'reverb', 'echo', 'music'];
export const levelMax = 99;
export const pitchMin = -5;
export const pitchMax = 5;
export const noiseGateMax = 100;
export const modeCount = 4;
