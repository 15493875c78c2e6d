Object.__gc({})
