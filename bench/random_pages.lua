-- wrk: each request a page drawn at random from the file PAGES names (one
-- target a line), on kept-alive connections.
local targets = {}
for line in io.lines(os.getenv("PAGES")) do
    targets[#targets + 1] = line
end
math.randomseed(os.time() + tonumber(tostring({}):sub(8), 16))

request = function()
    return wrk.format("GET", targets[math.random(#targets)])
end
