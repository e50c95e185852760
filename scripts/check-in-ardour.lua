-- check-in-ardour.lua - the Ardour side of scripts/check-in-ardour (run it through that script).
--
-- Runs inside Debian's ardour7-lua (Ardour's headless Lua session tool, Lua 5.3), one step per
-- process, so that reopening a saved session really starts from the files on disk:
--
--   ardour7-lua check-in-ardour.lua create FORMAT SESSION_DIR BUNDLE
--       New session on the None (Dummy) backend, its capture ports playing fixed sines. A mono audio
--       track "Vocal" and a stereo one "Stereo", strict I/O as Ardour's own default says (what
--       the Add Track dialog does), Halvora inserted at the top of each. Lists the parameters
--       Ardour shows, checks the values after the insert are Halvora's defaults, checks the
--       choice labels, measures each track's output at the defaults and after setting gain -6,
--       key 3 (D#) and scale 1 (Minor) through the controls, records a take of the sine on
--       "Vocal", saves and closes.
--   ardour7-lua check-in-ardour.lua reopen FORMAT SESSION_DIR LEVELS
--       Opens the saved session, checks Ardour's controls still hold the values, checks the
--       plug-in's own saved state holds them, and that each track's output level is the one in
--       LEVELS ("Vocal:DB;Stereo:DB", measured before saving) again.
--   ardour7-lua check-in-ardour.lua render FORMAT WAV_FILE LEVELS
--       Reads the file ardour7-export bounced from the saved session: finite, not silent, and its
--       peak the "Vocal" level minus Ardour's mono-to-stereo pan law at the centre (3 dB).
--
-- FORMAT is LV2 or VST3. Lines start with "ok", "FAIL", "note" or blanks (information);
-- "data NAME VALUE" lines are read by the shell script; the last line is "end STEP".

local step, format, path, extra = arg[1], arg[2], arg[3], arg[4]

local failures = 0
local function ok (msg) print ("ok    " .. msg) end
local function fail (msg) failures = failures + 1; print ("FAIL  " .. msg) end
local function note (msg) print ("note  " .. msg) end
local function info (msg) print ("      " .. msg) end
local function data (name, value) print (string.format ("data %s %s", name, tostring (value))) end
local function finish ()
	print ("end " .. tostring (step) .. (failures > 0 and " failed" or ""))
	io.stdout:flush ()
end

local LV2_URI = "urn:halvora:plugins:halvora"
local SAMPLE_RATE = 48000
local GAIN_CHANGE_DB = -6

-- What Halvora is meant to show: names, plain ranges, defaults, choice labels, and the values
-- this check sets.
local EXPECTED = {
	{ id = "formant",   name = "Formant",             min = -1,  max = 1,   def = 0 },
	{ id = "gain",      name = "Gain (dB)",           min = -24, max = 24,  def = 0, set = GAIN_CHANGE_DB },
	{ id = "vibRate",   name = "Vibrato Rate (Hz)",   min = 0.1, max = 10,  def = 5 },
	{ id = "vibDepth",  name = "Vibrato Depth (%)",   min = 0,   max = 100, def = 0 },
	{ id = "delayMix",  name = "Delay",               min = 0,   max = 100, def = 0 },
	{ id = "reverbMix", name = "Reverb",              min = 0,   max = 100, def = 0 },
	{ id = "morvel",    name = "Morvel",              min = 0,   max = 1,   def = 0.5 },
	{ id = "range",     name = "Range", def = 0, labels = { "Soprano", "Alto", "Tenor", "Baritone", "Bass" } },
	{ id = "voice",     name = "Voice", def = 0, labels = { "Female", "Male" } },
	{ id = "key",       name = "Key",   def = 0, set = 3,
	  labels = { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" } },
	{ id = "scale",     name = "Scale", def = 0, set = 1,
	  labels = { "Major", "Minor", "Dorian", "Mixolydian", "Chromatic" } },
}
for _, e in ipairs (EXPECTED) do
	if e.labels then e.min, e.max = 0, #e.labels - 1 end
	e.want = e.set or e.def -- the value after this check's changes
end

-- Ardour 7 shows a VST3 parameter as its normalised value, 0..1; an LV2 port in its own units.
local normalised = (format == "VST3")
local function to_control (e, plain)
	if normalised then return (plain - e.min) / (e.max - e.min) end
	return plain
end
local function from_control (e, v)
	if normalised then return e.min + v * (e.max - e.min) end
	return v
end
local function near (a, b, tol) return a ~= nil and b ~= nil and math.abs (a - b) <= tol end
local function control_tolerance (e) return normalised and 1e-4 or 1e-4 * math.max (1, e.max - e.min) end
local function fmt (v)
	if v == nil then return "?" end
	if math.type (v) == "integer" then return tostring (v) end
	return (string.format ("%.4f", v):gsub ("0+$", ""):gsub ("%.$", ""))
end
local function db (x)
	if x ~= x then return x end
	if x <= 0 then return -math.huge end
	return 20 * math.log (x, 10)
end
local function dbtext (v)
	if v ~= v then return "NaN" end
	if v == -math.huge then return "-inf" end
	return string.format ("%.2f", v)
end

-------------------------------------------------------------------------------
-- Files: a small RIFF/WAVE reader, a base64 decoder, the saved state's values.

local function read_file (name)
	local f = io.open (name, "rb")
	if not f then return nil end
	local s = f:read ("a")
	f:close ()
	return s
end

local function read_wav (name)
	local s = read_file (name)
	if not s then return nil, "cannot read " .. name end
	local magic = s:sub (1, 4)
	if (magic ~= "RIFF" and magic ~= "RF64") or s:sub (9, 12) ~= "WAVE" then return nil, "not a WAVE file" end
	local pos, tag, channels, bits, first, size = 13
	while pos + 8 <= #s do
		local id = s:sub (pos, pos + 3)
		local n = string.unpack ("<I4", s, pos + 4)
		local body = pos + 8
		if id == "fmt " then
			tag, channels = string.unpack ("<I2I2", s, body)
			bits = string.unpack ("<I2", s, body + 14)
			if tag == 0xFFFE then tag = string.unpack ("<I2", s, body + 24) end
		elseif id == "data" then
			first, size = body, math.min (n, #s - body + 1)
			break
		end
		if n == 0xFFFFFFFF then break end
		pos = body + n + (n % 2)
	end
	if not (tag and first) then return nil, "no fmt or data chunk" end
	local code, scale
	if tag == 3 and bits == 32 then code, scale = "<f", 1
	elseif tag == 1 and bits == 16 then code, scale = "<i2", 32768
	elseif tag == 1 and bits == 24 then code, scale = "<i3", 8388608
	elseif tag == 1 and bits == 32 then code, scale = "<i4", 2147483648
	else return nil, string.format ("unsupported sample format %d/%d bit", tag, bits) end
	local width = bits // 8
	local count = size // width
	local peak, sum, bad = {}, 0, 0
	for c = 1, channels do peak[c] = 0 end
	for i = 0, count - 1 do
		local v = string.unpack (code, s, first + i * width) / scale
		if v ~= v or v == math.huge or v == -math.huge then
			bad = bad + 1
		else
			local c = i % channels + 1
			local a = math.abs (v)
			if a > peak[c] then peak[c] = a end
			sum = sum + v * v
		end
	end
	local all = 0
	for c = 1, channels do all = math.max (all, peak[c]) end
	return { channels = channels, frames = count // channels, peak = all, channel_peak = peak,
	         rms = count > 0 and math.sqrt (sum / count) or 0, nonfinite = bad }
end

local B64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
local function unbase64 (s)
	local index = {}
	for i = 1, 64 do index[B64:sub (i, i)] = i - 1 end
	local out, acc, nbits = {}, 0, 0
	for c in s:gmatch ("[%w%+/]") do
		acc = (acc << 6) | index[c]
		nbits = nbits + 6
		if nbits >= 8 then
			nbits = nbits - 8
			out[#out + 1] = string.char ((acc >> nbits) & 0xFF)
			acc = acc & ((1 << nbits) - 1)
		end
	end
	return table.concat (out)
end

-- The PARAM id/value pairs of Halvora's own state on a track, as Ardour saved it with the session: for LV2
-- the state directory Ardour gave the plug-in, for VST3 the component state in the session file.
local function saved_plugin_state (dir, name, track)
	local session = read_file (dir .. "/" .. name .. ".ardour")
	if not session then return nil, "cannot read the session file" end
	local route = session:find ('<Route [^>]*name="' .. track .. '"')
	if not route then return nil, "no route " .. track .. " in the session file" end
	local route_end = session:find ("</Route>", route, true) or #session
	local a, b, id = session:find ('<Processor id="(%d+)" name="Halvora"', route)
	if not a or a > route_end then return nil, "no Halvora processor in the session file" end
	local stop = session:find ("</Processor>", b, true) or #session
	local block = session:sub (a, stop)
	local text, where
	if format == "LV2" then
		local state_dir = block:match ('<lv2 [^>]*state%-dir="([^"]*)"')
		if not state_dir then return nil, "Ardour saved no LV2 state directory" end
		where = "plugins/" .. id .. "/" .. state_dir .. "/state.ttl"
		text = read_file (dir .. "/" .. where)
		if not text then return nil, "cannot read " .. where end
	else
		local chunk = block:match ("<chunk>(.-)</chunk>")
		if not chunk then return nil, "Ardour saved no VST3 state chunk" end
		where = "the session file's VST3 chunk"
		text = unbase64 (chunk)
	end
	local values = {}
	for k, v in text:gmatch ('<PARAM id="([^"]+)" value="([^"]+)"') do values[k] = tonumber (v) end
	if next (values) == nil then return nil, "no parameter values in " .. where end
	return values, where
end

-------------------------------------------------------------------------------
-- Ardour: engine, plug-in, parameters, levels.

local function start_engine ()
	local backend = AudioEngine:set_backend ("None (Dummy)", "", "")
	if not backend or backend:isnil () then
		fail ("Ardour has no None (Dummy) audio backend")
		return false
	end
	-- Each dummy capture port plays a sine of its own fixed pitch (1 kHz and third-octave
	-- steps from it), the same in every process. The plain "Sine Wave" picks a random pitch
	-- per port at every engine start, and Halvora's tone stage shapes pitches differently, so
	-- a reopened session could meter a different level for the same settings.
	AudioEngine:set_device_name ("Sine Wave 1K, 1/3 Oct")
	return true
end

local function find_plugin_info (bundle)
	local wanted = (format == "LV2") and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3
	for p in ARDOUR.LuaAPI.list_plugins ():iter () do
		if p.type == wanted then
			if format == "LV2" and p.unique_id == LV2_URI then return p end
			if format == "VST3" and p.name == "Halvora" and p.path:sub (1, #bundle) == bundle then return p end
		end
	end
	return nil
end

local function first_halvora (route)
	local i = 0
	while true do
		local proc = route:nth_plugin (i)
		if proc:isnil () then return nil end
		if proc:name () == "Halvora" then return proc end
		i = i + 1
	end
end

-- Ardour's view of each expected parameter: port index, shown name, descriptor, control.
local function map_parameters (proc, quiet)
	local plug = proc:to_insert ():plugin (0)
	local auto = proc:to_automatable ()
	local by_name, shown = {}, {}
	for i = 0, plug:parameter_count () - 1 do
		if plug:parameter_is_control (i) and plug:parameter_is_input (i) then
			local label = plug:parameter_label (i)
			by_name[label:lower ()] = i
			shown[#shown + 1] = label
		end
	end
	local params, known = {}, {}
	for _, e in ipairs (EXPECTED) do
		local i = by_name[e.name:lower ()]
		if i == nil then
			fail (string.format ("%s: Ardour shows no parameter named %q", e.id, e.name))
		else
			local _, t = plug:get_parameter_descriptor (i, ARDOUR.ParameterDescriptor ())
			local ac = auto:automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, i), false)
			params[e.id] = { e = e, port = i, label = plug:parameter_label (i), pd = t[2], ac = ac }
			known[e.name:lower ()] = true
		end
	end
	for _, label in ipairs (shown) do
		if not known[label:lower ()] and not quiet then note ("Ardour also shows a parameter " .. string.format ("%q", label)) end
	end
	return params
end

local function scale_points (pd)
	local points = {}
	local any = false
	for label, value in pairs (ARDOUR.LuaAPI.desc_scale_points (pd)) do
		points[#points + 1] = { label = label, value = value }
		any = true
	end
	table.sort (points, function (x, y) return x.value < y.value end)
	return any and points or nil
end

local function label_of (points, e, v)
	if not points then return nil end
	for _, p in ipairs (points) do
		if near (p.value, v, control_tolerance (e)) then return p.label end
	end
	return nil
end

local function describe (p)
	local e, pd = p.e, p.pd
	local v = p.ac:get_value ()
	local points = scale_points (pd)
	local text = string.format ("%-18s port %-2d value %-8s range %s..%s default %s", p.label, p.port, fmt (v),
	                            fmt (pd.lower), fmt (pd.upper), fmt (pd.normal))
	if normalised then text = text .. string.format (" (plain %s)", fmt (from_control (e, v))) end
	if e.labels then
		if points then
			local names = {}
			for _, sp in ipairs (points) do names[#names + 1] = sp.label end
			text = text .. " labels " .. table.concat (names, "/")
			local current = label_of (points, e, v)
			if current then text = text .. string.format (" [%s]", current) end
		else
			text = text .. " labels none"
		end
		if pd.enumeration then text = text .. " enumeration" end
		if pd.toggled then text = text .. " toggle" end
		if normalised and pd.rangesteps and pd.rangesteps > 0 then text = text .. " steps " .. pd.rangesteps end
	end
	info (text)
end

local function check_names_and_ranges (params)
	local bad = 0
	for _, e in ipairs (EXPECTED) do
		local p = params[e.id]
		if p then
			if p.label ~= e.name then
				bad = bad + 1
				fail (string.format ("%s: Ardour shows the name %q, expected %q", e.id, p.label, e.name))
			end
			local lo, hi = to_control (e, e.min), to_control (e, e.max)
			if not (near (p.pd.lower, lo, control_tolerance (e)) and near (p.pd.upper, hi, control_tolerance (e))) then
				bad = bad + 1
				fail (string.format ("%s: range %s..%s, expected %s..%s", e.id, fmt (p.pd.lower), fmt (p.pd.upper), fmt (lo), fmt (hi)))
			end
			if e.labels and normalised then
				-- Ardour 7 knows the positions of a stepped VST3 parameter from its step count.
				local n = #e.labels
				if not ((n == 2 and p.pd.toggled) or p.pd.rangesteps == n) then
					bad = bad + 1
					fail (string.format ("%s: Ardour does not step it through %d positions", e.id, n))
				end
			end
		end
	end
	if bad == 0 then ok ("names and ranges as expected" .. (normalised and " (VST3: normalised 0..1)" or "")) end
end

local function check_labels (params)
	local missing, bad = {}, 0
	for _, e in ipairs (EXPECTED) do
		local p = params[e.id]
		if p and e.labels then
			local points = scale_points (p.pd)
			if not points then
				missing[#missing + 1] = e.name
			else
				for k, label in ipairs (e.labels) do
					if label_of (points, e, to_control (e, k - 1)) ~= label then
						bad = bad + 1
						fail (string.format ("%s: no label %q at %d", e.id, label, k - 1))
					end
				end
			end
		end
	end
	if #missing > 0 then
		local which = table.concat (missing, ", ")
		if format == "VST3" then
			note ("Ardour lists no labels for " .. which .. " (the plug-in marks them as lists, which Ardour 7.3"
			      .. " does not turn into scale points; it steps them by their step count, and the text of a value,"
			      .. " asked of the plug-in, is out of this check's reach)")
		else
			fail ("Ardour has no labels (scale points) for " .. which)
		end
	elseif bad == 0 then
		ok ("choice labels: Range Soprano..Bass, Voice Female/Male, Key C..B, Scale Major..Chromatic")
	end
end

local function check_values (params, which, what)
	local bad = 0
	for _, e in ipairs (EXPECTED) do
		local p = params[e.id]
		if p then
			local v = p.ac:get_value ()
			local want = to_control (e, e[which])
			if not near (v, want, control_tolerance (e)) then
				bad = bad + 1
				fail (string.format ("%s: %s %s, expected %s", e.id, what, fmt (v), fmt (want)))
			end
		end
	end
	return bad == 0
end

local function check_descriptor_defaults (params)
	local bad = 0
	for _, e in ipairs (EXPECTED) do
		local p = params[e.id]
		if p and not near (p.pd.normal, to_control (e, e.def), control_tolerance (e)) then
			bad = bad + 1
			fail (string.format ("%s: Ardour's default %s, expected %s", e.id, fmt (p.pd.normal), fmt (to_control (e, e.def))))
		end
	end
	return bad == 0
end

-- Peak of the track's first output channel after the plug-in (the meter post-fader), over
-- a stretch of the engine's running: the engine runs at its own pace, this only waits for it.
local function output_level (track)
	-- A track that was record-armed may still meter its input; measure after the plug-in.
	track:set_meter_point (ARDOUR.MeterPoint.MeterPostFader)
	local meter = track:peak_meter ()
	sleep (0.7)
	meter:reset_max ()
	sleep (0.7)
	return meter:meter_level (0, ARDOUR.MeterType.MeterMaxPeak)
end

local function monitor_input (track, yes)
	local choice = yes and ARDOUR.MonitorChoice.MonitorInput or ARDOUR.MonitorChoice.MonitorAuto
	track:monitoring_control ():set_value (choice, PBD.GroupControlDisposition.NoGroup)
end

local function audible (level) return level == level and level > -60 and level < 6 end

-------------------------------------------------------------------------------
-- Steps.

-- The tracks: a mono one, as a vocal is usually recorded, and a stereo one.
local TRACKS = { { name = "Vocal", inputs = 1 }, { name = "Stereo", inputs = 2 } }

local function set_changes (params)
	for _, e in ipairs (EXPECTED) do
		local p = params[e.id]
		if p and e.set then p.ac:set_value (to_control (e, e.set), PBD.GroupControlDisposition.NoGroup) end
	end
end

-- "Vocal:-28.43;Stereo:-28.43" <-> { Vocal = -28.43, Stereo = -28.43 }
local function encode_levels (levels)
	local parts = {}
	for _, t in ipairs (TRACKS) do parts[#parts + 1] = t.name .. ":" .. tostring (levels[t.name]) end
	return table.concat (parts, ";")
end
local function decode_levels (text)
	local levels = {}
	for k, v in (text or ""):gmatch ("([^:;]+):([^;]+)") do levels[k] = tonumber (v) end
	return levels
end

local function step_create ()
	local dir, bundle = path, extra
	local name = dir:match ("([^/]+)/*$")
	if not start_engine () then return end
	if not create_session (dir, name, SAMPLE_RATE) or not Session then
		fail ("ardour7-lua could not create a session in " .. dir)
		return
	end
	info (string.format ("session %s, %d Hz, %d samples a cycle, backend %s", dir, Session:nominal_sample_rate (),
	                     Session:get_block_size (), AudioEngine:current_backend_name ()))

	local pinfo = find_plugin_info (bundle)
	if not pinfo then
		fail ("Ardour's plug-in list has no Halvora " .. format .. " from " .. bundle)
		return
	end
	ok (string.format ("Ardour lists Halvora %s (%s)", format, pinfo.unique_id))
	local presets_ok, presets = pcall (function ()
		local labels = {}
		for p in pinfo:get_presets (false):iter () do labels[#labels + 1] = string.format ("%q", p.label) end
		return labels
	end)
	if presets_ok then
		info ("presets Ardour offers: " .. (#presets > 0 and table.concat (presets, ", ") or "none"))
	end

	local strict = ARDOUR.config ():get_strict_io ()
	local tracks, procs, params, input_level = {}, {}, {}, {}
	for _, t in ipairs (TRACKS) do
		local track = Session:new_audio_track (t.inputs, 2, nil, 1, t.name, -1, ARDOUR.TrackMode.Normal, true):front ()
		track:set_strict_io (strict) -- what Ardour's Add Track dialog does, by Ardour's own default
		monitor_input (track, true)
		tracks[t.name] = track
	end
	for _, t in ipairs (TRACKS) do input_level[t.name] = output_level (tracks[t.name]) end

	for _, t in ipairs (TRACKS) do
		local track = tracks[t.name]
		local proc = ARDOUR.LuaAPI.new_plugin (Session, pinfo.unique_id, pinfo.type, "")
		if proc:isnil () then
			fail ("Ardour could not instantiate Halvora " .. format)
			return
		end
		if track:add_processor_by_index (proc, 0, nil, true) ~= 0 then
			fail ("Ardour could not insert Halvora on track " .. t.name)
			return
		end
		local pi = proc:to_insert ()
		ok (string.format ("inserted on %s track %q (strict I/O %s): %s, plug-in %d in / %d out, the track feeds %d, takes %d",
		                   t.inputs == 1 and "mono" or "stereo", t.name, tostring (track:strict_io ()),
		                   proc:active () and "active" or "INACTIVE",
		                   pi:natural_input_streams ():n_audio (), pi:natural_output_streams ():n_audio (),
		                   pi:input_streams ():n_audio (), pi:output_streams ():n_audio ()))
		procs[t.name] = proc
	end
	local first = procs[TRACKS[1].name]
	if first:to_insert ():natural_input_streams ():n_midi () > 0 then
		note (string.format ("Ardour sees %d MIDI input(s) on the plug-in", first:to_insert ():natural_input_streams ():n_midi ()))
	end

	params[TRACKS[1].name] = map_parameters (first)
	local main = params[TRACKS[1].name]
	info ("parameters after the insert:")
	for _, e in ipairs (EXPECTED) do if main[e.id] then describe (main[e.id]) end end
	check_names_and_ranges (main)
	local defaults_ok = check_values (main, "def", "after the insert the control is") and check_descriptor_defaults (main)
	for i = 2, #TRACKS do
		params[TRACKS[i].name] = map_parameters (procs[TRACKS[i].name], true)
		defaults_ok = check_values (params[TRACKS[i].name], "def", "after the insert on " .. TRACKS[i].name .. " the control is") and defaults_ok
	end
	if defaults_ok then
		ok ("after the insert every control holds Halvora's default (formant 0, gain 0, vibRate 5, morvel 0.5, choices 0)")
	end
	check_labels (main)

	-- Processing: the dummy sine through the plug-in, at the defaults and after the changes.
	local default_level, set_level = {}, {}
	for _, t in ipairs (TRACKS) do default_level[t.name] = output_level (tracks[t.name]) end
	local set_ok = true
	for _, t in ipairs (TRACKS) do
		set_changes (params[t.name])
		set_ok = check_values (params[t.name], "want", "on " .. t.name .. " after setting it the control reads") and set_ok
	end
	if set_ok then
		local shown = {}
		for _, e in ipairs (EXPECTED) do
			local p = main[e.id]
			if p and e.set then
				local label = label_of (scale_points (p.pd), e, p.ac:get_value ())
				shown[#shown + 1] = string.format ("%s %s%s", e.id, fmt (e.set), label and (" = " .. label) or "")
			end
		end
		ok ("set through Ardour's controls: " .. table.concat (shown, ", "))
	end
	for _, t in ipairs (TRACKS) do set_level[t.name] = output_level (tracks[t.name]) end
	for _, t in ipairs (TRACKS) do
		local d, s = default_level[t.name], set_level[t.name]
		info (string.format ("%s output peak (first channel): without the plug-in %s dBFS, at the defaults %s, after the changes %s",
		                     t.name, dbtext (input_level[t.name]), dbtext (d), dbtext (s)))
		if audible (d) and audible (s) then
			if near (s - d, GAIN_CHANGE_DB, 0.5) then
				ok (string.format ("%s: the engine ran the plug-in, audible and finite; the gain control moved the sound by %s dB",
				                   t.name, dbtext (s - d)))
			else
				fail (string.format ("%s: after gain %d the level moved by %s dB", t.name, GAIN_CHANGE_DB, dbtext (s - d)))
			end
		else
			fail (string.format ("%s: the plug-in's output is silent or not finite", t.name))
		end
	end
	data ("levels", encode_levels (set_level))
	local latency_ok, latency = pcall (function () return first:signal_latency () end)
	if latency_ok then info ("plug-in latency Ardour compensates: " .. tostring (latency) .. " samples") end

	-- A take of the sine on the mono track, to bounce later (Ardour records before the plug-in).
	local vocal = tracks[TRACKS[1].name]
	for _, t in ipairs (TRACKS) do monitor_input (tracks[t.name], false) end
	vocal:rec_enable_control ():set_value (1, PBD.GroupControlDisposition.NoGroup)
	Session:maybe_enable_record (false)
	sleep (0.3)
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	sleep (2.0)
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	for _ = 1, 100 do
		if not Session:transport_rolling () then break end
		sleep (0.1)
	end
	Session:disable_record (false, false)
	vocal:rec_enable_control ():set_value (0, PBD.GroupControlDisposition.NoGroup)
	vocal:set_meter_point (ARDOUR.MeterPoint.MeterPostFader) -- arming moved it to the input
	sleep (0.3)
	local count, length = 0, 0
	for region in vocal:playlist ():region_list ():iter () do
		count = count + 1
		length = region:length ():samples ()
	end
	if count == 1 then
		ok (string.format ("recorded a take of %.2f s on %s", length / SAMPLE_RATE, TRACKS[1].name))
	else
		fail (string.format ("recording left %d regions, expected 1", count))
	end

	if Session:save_state ("", false, false, false, false, false) == 0 then
		ok ("saved " .. dir .. "/" .. name .. ".ardour")
	else
		fail ("Ardour could not save the session")
	end
	close_session ()
end

local function step_reopen ()
	local dir, before = path, decode_levels (extra)
	local name = dir:match ("([^/]+)/*$")
	if not start_engine () then return end
	if not load_session (dir, name) or not Session then
		fail ("ardour7-lua could not open " .. dir)
		return
	end
	ok ("reopened " .. dir .. "/" .. name .. ".ardour in a new ardour7-lua")
	local tracks, params = {}, {}
	for _, t in ipairs (TRACKS) do
		local route = Session:route_by_name (t.name)
		if route:isnil () then
			fail ("the reopened session has no track " .. t.name)
			return
		end
		local proc = first_halvora (route)
		if not proc then
			fail ("the reopened track " .. t.name .. " has no Halvora (Ardour could not load it)")
			return
		end
		tracks[t.name] = route:to_track ()
		params[t.name] = map_parameters (proc, t.name ~= TRACKS[1].name)
	end
	local main = params[TRACKS[1].name]
	info ("parameters after reopening:")
	for _, e in ipairs (EXPECTED) do if main[e.id] then describe (main[e.id]) end end
	local values_ok = true
	for _, t in ipairs (TRACKS) do
		values_ok = check_values (params[t.name], "want", "on " .. t.name .. " after reopening the control is") and values_ok
	end
	if values_ok then
		ok ("after reopening Ardour's controls hold gain -6, key 3 (D#), scale 1 (Minor) and the defaults, on both tracks")
	end

	for _, t in ipairs (TRACKS) do
		local values, where = saved_plugin_state (dir, name, t.name)
		if not values then
			fail (t.name .. ": the plug-in's saved state: " .. where)
		else
			local bad = 0
			for _, e in ipairs (EXPECTED) do
				if not near (values[e.id], e.want, 1e-3) then
					bad = bad + 1
					fail (string.format ("%s: %s: the plug-in's saved state holds %s, expected %s", t.name, e.id,
					                     fmt (values[e.id]), fmt (e.want)))
				end
			end
			if bad == 0 then ok (t.name .. ": the plug-in's own saved state (" .. where .. ") holds the same values") end
		end
	end

	for _, t in ipairs (TRACKS) do monitor_input (tracks[t.name], true) end
	for _, t in ipairs (TRACKS) do
		local level, was = output_level (tracks[t.name]), before[t.name]
		info (string.format ("%s output peak after reopening: %s dBFS (before saving %s)", t.name, dbtext (level),
		                     dbtext (was or 0 / 0)))
		-- The capture sines are the same in every process, so the same settings meter the
		-- same level, to the report's rounding (0.05 dB).
		if not (was and audible (was)) then
			note (t.name .. ": not compared, the track was not audible before saving")
		elseif audible (level) and near (level, was, 0.05) then
			ok (t.name .. ": the reopened plug-in sounds at the level it had before saving")
		else
			fail (t.name .. ": after reopening the output level differs from before saving")
		end
	end
	close_session ()
end

local function step_render ()
	local file, level = path, decode_levels (extra)[TRACKS[1].name]
	local w, err = read_wav (file)
	if not w then
		fail ("bounce: " .. err)
		return
	end
	local peaks = {}
	for c = 1, w.channels do peaks[#peaks + 1] = dbtext (db (w.channel_peak[c])) end
	info (string.format ("bounce of the %s take: %d channels, %.2f s, peak %s dBFS (%s), RMS %s dBFS", TRACKS[1].name,
	                     w.channels, w.frames / SAMPLE_RATE, dbtext (db (w.peak)), table.concat (peaks, " / "),
	                     dbtext (db (w.rms))))
	data ("rms", db (w.rms))
	if w.frames == 0 or w.nonfinite > 0 or not audible (db (w.peak)) then
		fail (string.format ("the bounce is empty, silent or not finite (%d non-finite samples)%s", w.nonfinite,
		                     (level and not audible (level)) and ", as the track was in the session" or ""))
		return
	end
	ok ("the bounce went through the plug-in: audible, finite")
	-- The mono track's output reaches the stereo master 3 dB down on each side.
	local expect = level and (level - 3.01)
	if expect and near (db (w.peak), expect, 1.0) then
		ok (string.format ("its level is what the saved settings give (expected %s dBFS)", dbtext (expect)))
	else
		fail (string.format ("its peak %s dBFS, expected %s from the level measured in the session",
		                     dbtext (db (w.peak)), dbtext (expect or 0 / 0)))
	end
end

local steps = { create = step_create, reopen = step_reopen, render = step_render }
if not steps[step] or (format ~= "LV2" and format ~= "VST3") or not path then
	print ("usage: ardour7-lua check-in-ardour.lua create|reopen|render LV2|VST3 PATH [ARG]")
	step = "usage"
	failures = 1
else
	local good, err = pcall (steps[step])
	if not good then fail ("Lua error: " .. tostring (err)) end
end
finish ()
