// (filled in below)
