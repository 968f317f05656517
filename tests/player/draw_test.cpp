// Drawing tests follow.
